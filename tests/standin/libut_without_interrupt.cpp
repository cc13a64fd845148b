// A libut without the interrupt calls, as a MATLAB may have: they are not in
// its documented interface. ctest runs host_test once with this library in
// place of the stand-in's libut.so, for a host in which espera finds none.
