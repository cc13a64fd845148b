// The busy wait behind espera: turn a duration into whole counter ticks, then
// read the counter in a tight loop until it reaches the deadline. It never
// sleeps, yields or pauses: the end reading follows the deadline as closely as
// the counter can be read.
#pragma once

#include <cstdint>
#include <optional>

#include "clock.hpp"

namespace timing {

struct WaitEnd {
    std::uint64_t end;        // the counter reading at which the wait ended
    std::uint64_t frequency;  // the frequency the wait used, read once
};

// 2^63 as a double: the first tick value that does not fit a signed 64-bit count.
inline constexpr double kFirstTickValueTooLarge = 9223372036854775808.0;

// Waits durationMs milliseconds, truncated to whole ticks of the counter given
// by readCounter/readFrequency (plain callables returning std::uint64_t).
// The tick count is (durationMs * 0.001) * frequency, truncated toward zero.
//
// - Tick value NaN, or at or above 2^63 (+Inf included): no deadline exists;
//   returns nothing at once, without waiting.
// - Tick count zero or negative (any negative duration, -Inf included): no
//   wait; the end is the start reading and the counter is not read again.
// - Otherwise: end is the first reading at or past start + ticks (mod 2^64).
//
// Tests pass a scripted counter; espera passes the platform's.
template <class ReadCounter, class ReadFrequency>
std::optional<WaitEnd> spinWaitOn(double durationMs, ReadCounter readCounter,
                                  ReadFrequency readFrequency) {
    const std::uint64_t start = readCounter();
    const std::uint64_t frequency = readFrequency();
    // Multiply by 0.001 first, then by the frequency: 43 ms at 10 MHz is then
    // 430000.00000000006 ticks, where dividing by 1000 would lose one tick.
    const double tickValue = (durationMs * 0.001) * u64ToDouble(frequency);
    if (!(tickValue < kFirstTickValueTooLarge)) return std::nullopt;  // NaN too
    // Converting a negative tick value would put a huge magnitude modulo 2^64
    // and spin almost forever; a duration in the past asks for no wait.
    if (!(tickValue >= 1.0)) return WaitEnd{start, frequency};
    const std::uint64_t deadline = start + static_cast<std::uint64_t>(static_cast<std::int64_t>(tickValue));
    if (deadline <= start) return WaitEnd{start, frequency};  // wrapped past 2^64
    std::uint64_t end;
    do {
        end = readCounter();
    } while (end < deadline);
    return WaitEnd{end, frequency};
}

// The wait on the platform counter.
inline std::optional<WaitEnd> spinWait(double durationMs) {
    return spinWaitOn(durationMs, readCounter, readFrequency);
}

}  // namespace timing
