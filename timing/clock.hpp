// The one time source: the platform's high-resolution counter, and the two
// ways a reading becomes counter milliseconds.
//
// Counter milliseconds = reading / frequency * 1000, counted from the
// counter's own origin (not wall-clock time). Every result either function
// returns is on this scale, so results of the two can be subtracted.
#pragma once

#include <cstdint>

namespace timing {

// Present counter reading, in ticks since the counter's origin. Never
// decreases between calls. Implemented once per platform, picked in clock.cpp:
//   Windows: QueryPerformanceCounter.
//   Linux:   CLOCK_MONOTONIC in nanoseconds.
//   macOS:   CLOCK_UPTIME_RAW in nanoseconds, mach_absolute_time's count.
// On Windows and Linux the C++ library's steady clock reads the same clock,
// which other programs stamp their data with; on macOS it does not (libc++
// reads CLOCK_MONOTONIC_RAW there). tests/steady_clock_test.cpp holds to it.
std::uint64_t readCounter();

// Ticks per second of readCounter; nonzero and constant while the system
// runs. Windows: QueryPerformanceFrequency. Linux and macOS: 1,000,000,000.
std::uint64_t readFrequency();

// The value as an unsigned integer, rounded to the nearest double: values with
// the top bit set give doubles at or above 2^63, never negative ones.
inline double u64ToDouble(std::uint64_t value) { return static_cast<double>(value); }

// (reading * 1000.0) / frequency, in that order. Used by reloj.
// The two orders differ by an ulp or two for many readings; each function
// keeps its own, so the build must not reorder or fuse these operations.
inline double countToMsMultiplyFirst(std::uint64_t reading, std::uint64_t frequency) {
    const double scaled = u64ToDouble(reading) * 1000.0;
    return scaled / u64ToDouble(frequency);
}

// (reading / frequency) * 1000.0, in that order. Used by espera.
inline double countToMsDivideFirst(std::uint64_t reading, std::uint64_t frequency) {
    const double seconds = u64ToDouble(reading) / u64ToDouble(frequency);
    return seconds * 1000.0;
}

}  // namespace timing
