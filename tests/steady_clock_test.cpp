// The counter against the C++ library's steady clock, which other programs
// on the machine stamp their data with (Lab Streaming Layer's local_clock()
// is that clock in seconds): on Linux and Windows the two are one clock, so a
// change of either side's clock fails here. Each reading of one is bracketed
// by two of the other, both ways round, converted to nanoseconds with the
// lower end rounded down and the upper end rounded up, so that a library
// that rounds ticks to the nearest nanosecond still lies within.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>

#include "timing/clock.hpp"

namespace {

struct SteadyClockCase {
    const char* system;
    const char* library;  // what this system's build reads for std::chrono::steady_clock
    bool sameClock;       // else the steady clock is ahead of the counter, never behind
};

// Debian's mingw-w64 (posix threads): libstdc++'s steady_clock::now() calls
// clock_gettime(CLOCK_MONOTONIC), which winpthreads answers from
// QueryPerformanceCounter and QueryPerformanceFrequency, rounded to the
// nearest nanosecond. Microsoft's library reads the same counter by its
// documentation; it is not run here.
constexpr SteadyClockCase kCases[] = {
    {"linux", "libstdc++: clock_gettime(CLOCK_MONOTONIC)", true},
    {"windows", "mingw-w64's libstdc++: winpthreads' CLOCK_MONOTONIC, QueryPerformanceCounter", true},
    // Not run here: libc++ reads CLOCK_MONOTONIC_RAW on Apple systems, which
    // counts the time the Mac has slept; the counter, CLOCK_UPTIME_RAW, does not.
    {"macos", "libc++: CLOCK_MONOTONIC_RAW, ahead by the time slept", false},
};

#if defined(_WIN32)
constexpr const char* kSystem = "windows";
#elif defined(__APPLE__)
constexpr const char* kSystem = "macos";
#elif defined(__linux__)
constexpr const char* kSystem = "linux";
#else
#error "No steady clock case for this platform: add one to kCases and name it here."
#endif

struct NsRange {
    std::uint64_t low, high;
};

// A counter reading as nanoseconds, in whole ticks and the rest so that no
// product overflows (frequency below 18 GHz).
NsRange toNs(std::uint64_t ticks, std::uint64_t frequency) {
    const std::uint64_t rest = (ticks % frequency) * 1000000000u;
    const std::uint64_t low = ticks / frequency * 1000000000u + rest / frequency;
    return {low, low + (rest % frequency != 0)};
}

std::uint64_t steadyNs() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count());
}

TEST(SteadyClock, IsTheCounterOnLinuxAndWindows) {
    const std::uint64_t frequency = timing::readFrequency();
    int ran = 0;
    for (const SteadyClockCase& c : kCases) {
        if (std::strcmp(c.system, kSystem) != 0) continue;
        ++ran;
        SCOPED_TRACE(c.library);
        for (int round = 0; round < 1000; ++round) {
            const NsRange before = toNs(timing::readCounter(), frequency);
            const std::uint64_t steady = steadyNs();
            const NsRange after = toNs(timing::readCounter(), frequency);
            const std::uint64_t steadyBefore = steadyNs();
            const NsRange counter = toNs(timing::readCounter(), frequency);
            const std::uint64_t steadyAfter = steadyNs();
            ASSERT_LE(before.low, steady) << "steady clock behind the counter read before it, round " << round;
            ASSERT_LE(counter.low, steadyAfter) << "steady clock behind the counter read before it, round " << round;
            if (!c.sameClock) continue;
            ASSERT_LE(steady, after.high) << "steady clock ahead of the counter read after it, round " << round;
            ASSERT_LE(steadyBefore, counter.high) << "counter behind the steady clock read before it, round " << round;
        }
    }
    EXPECT_EQ(ran, 1) << "cases for " << kSystem;
}

}  // namespace
