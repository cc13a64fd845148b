// The platform's counter. One implementation per platform, picked here and
// nowhere else, so that every build (CMake, build_mex, the Octave package)
// compiles this one file.
#include "clock.hpp"

#if defined(_WIN32)
#include "clock_windows.inc"  // QueryPerformanceCounter
#elif defined(__APPLE__)
#include "clock_macos.inc"    // CLOCK_UPTIME_RAW, mach_absolute_time's count
#elif defined(__linux__)
#include "clock_posix.inc"    // CLOCK_MONOTONIC
#else
#error "No counter for this platform: add a clock_*.inc for it here."
#endif
