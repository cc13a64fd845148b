// The Windows performance counter. The success flags are not examined: both
// calls always succeed on Windows XP and later.
#include "clock.hpp"

#include <windows.h>

namespace timing {

std::uint64_t readCounter() {
    LARGE_INTEGER cell;
    QueryPerformanceCounter(&cell);
    return static_cast<std::uint64_t>(cell.QuadPart);
}

std::uint64_t readFrequency() {
    LARGE_INTEGER cell;
    QueryPerformanceFrequency(&cell);
    return static_cast<std::uint64_t>(cell.QuadPart);
}

}  // namespace timing
