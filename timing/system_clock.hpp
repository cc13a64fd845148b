// The system clock, the calendar time the system keeps (and its time service,
// NTP, PTP or Windows Time, keeps in step with the world's), read together
// with the counter of clock.hpp: fecha's work. Only fecha includes it.
//
// One reader per call, on the thread that calls (plain functions over a plain
// value, as the sleeper's):
//   openSystemClock()         finds the system's best call for the clock;
//   readSystemClock(clock)    what the clock shows now, in ms since
//                             1970-01-01 00:00 UTC (POSIX time: leap seconds
//                             not counted), and how coarse it is: the time it
//                             was read at lies within [ms, ms + stepMs];
//   systemClockErrorMs()      what the system says of its clock: its
//                             estimated error in ms where it is synchronised
//                             to a time source, +Inf where it says the clock
//                             is not, NaN where it says neither.
//
// One file per platform, picked at the end of this header:
//   system_clock_linux.inc    CLOCK_REALTIME; adjtimex, read only
//   system_clock_windows.inc  GetSystemTimePreciseAsFileTime, looked up at run
//                             time, else GetSystemTimeAsFileTime and its step
//   system_clock_macos.inc    CLOCK_REALTIME
#pragma once

#include <cstdint>

#include "clock.hpp"

namespace timing {

struct SystemClockReading {
    double ms;      // ms since 1970-01-01 00:00 UTC, as the clock shows it
    double stepMs;  // 0 for a clock read to the tick; else how long it shows one value
};

// Whole and fractional milliseconds of a count of units (units per ms given),
// added once: exact up to 2^53 ms, and one rounding for the fraction.
inline double unitsToMs(std::int64_t units, std::int64_t unitsPerMs) {
    return static_cast<double>(units / unitsPerMs) +
           static_cast<double>(units % unitsPerMs) / static_cast<double>(unitsPerMs);
}

// The counter and the system clock read together: at counter time t (on
// reloj's scale, ms) the clock showed utc (ms since 1970), read within
// t +- uncertaintyMs.
struct ClockPair {
    double t, utc, uncertaintyMs;
};

constexpr int kPairTries = 10;

// Reads the counter, the system clock and the counter again, up to kPairTries
// times or until a millisecond of ticks has passed since the first reading,
// and keeps the try whose two counter readings are closest (the first of
// equals; a try 0 ticks apart ends the search). t is the midpoint of its two
// readings on reloj's scale and uncertaintyMs half their distance; a coarse
// clock (stepMs > 0) is taken at the middle of its step, which widens the
// uncertainty by half the step. A template over the readers, so that the
// tests script them: counter() gives ticks that never decrease, clock() a
// SystemClockReading.
template <class Counter, class Clock>
ClockPair pairWithCounter(std::uint64_t frequency, Counter&& counter, Clock&& clock) {
    const std::uint64_t oneMs = frequency / 1000;
    std::uint64_t first = 0, bestBefore = 0, bestAfter = 0;
    SystemClockReading best{};
    for (int tries = 0; tries < kPairTries; ++tries) {
        const std::uint64_t before = counter();
        const SystemClockReading shown = clock();
        const std::uint64_t after = counter();
        if (tries == 0) first = before;
        if (tries == 0 || after - before < bestAfter - bestBefore) {
            bestBefore = before;
            bestAfter = after;
            best = shown;
        }
        if (after - before == 0 || after - first >= oneMs) break;
    }
    const double start = countToMsMultiplyFirst(bestBefore, frequency);
    const double end = countToMsMultiplyFirst(bestAfter, frequency);
    return ClockPair{(start + end) / 2, best.ms + best.stepMs / 2,
                     countToMsMultiplyFirst(bestAfter - bestBefore, frequency) / 2 + best.stepMs / 2};
}

}  // namespace timing

#if defined(_WIN32)
#include "system_clock_windows.inc"
#elif defined(__APPLE__)
#include "system_clock_macos.inc"
#elif defined(__linux__)
#include "system_clock_linux.inc"
#else
#error "No system clock for this platform: add a system_clock_*.inc here."
#endif
