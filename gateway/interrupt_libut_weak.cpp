// MATLAB on Linux keeps its interrupt request in libut.so, which its libmx
// and libmex need. Weak references resolve when the extension is loaded,
// through the libraries it needs, or stay null where no libut has the calls:
// the extension still loads. (dlsym would do the same at run time but needs a
// newer glibc than the extension otherwise does.)
#include "interrupt.hpp"

extern "C" {
bool utIsInterruptPending(void) __attribute__((weak));
bool utSetInterruptPending(bool pending) __attribute__((weak));
}

namespace gateway {

InterruptCalls findInterruptCalls() { return {utIsInterruptPending, utSetInterruptPending}; }

}  // namespace gateway
