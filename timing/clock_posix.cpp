// CLOCK_MONOTONIC in nanoseconds: never steps back, never jumps with the wall
// clock, and lines up with other programs' monotonic timestamps.
#include "clock.hpp"

#include <time.h>

namespace timing {

std::uint64_t readCounter() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u +
           static_cast<std::uint64_t>(now.tv_nsec);
}

std::uint64_t readFrequency() { return 1000000000u; }

}  // namespace timing
