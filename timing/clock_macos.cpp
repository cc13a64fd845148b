// The Mac's high-resolution counter: CLOCK_UPTIME_RAW in nanoseconds, which
// is mach_absolute_time()'s count converted by the system. It never steps
// back, is not adjusted with the wall clock, and stands still while the
// machine sleeps. (CLOCK_MONOTONIC on macOS counts whole microseconds and
// follows the wall clock's adjustments.) Needs macOS 10.12 or later.
//
// The machines these functions are developed on cannot compile for macOS:
// this file is built, and its functions run, only on a Mac.
#include "clock.hpp"

#include <time.h>

namespace timing {

std::uint64_t readCounter() { return clock_gettime_nsec_np(CLOCK_UPTIME_RAW); }

std::uint64_t readFrequency() { return 1000000000u; }

}  // namespace timing
