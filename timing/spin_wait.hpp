// The busy wait behind espera: turn a duration into whole counter ticks, then
// read the counter in a tight loop until it reaches the deadline. It never
// sleeps, yields or pauses: the end reading follows the deadline as closely as
// the counter can be read.
//
// Any duration below 2^63 ticks may be asked for, so a wait can outlast the
// user's patience: while more than a millisecond is left, it asks the host
// about once a millisecond whether the user has interrupted it (Ctrl+C). In
// its last millisecond it only reads the counter, so its end stays as close to
// the deadline as before.
#pragma once

#include <algorithm>
#include <cstdint>

#include "clock.hpp"

namespace timing {

enum class WaitOutcome {
    reached,      // end is the first reading at or past the deadline, or the
                  // start reading when there was nothing to wait for
    interrupted,  // the host asked the wait to stop; end is the reading at
                  // which it was asked
    noDeadline,   // the duration gives no deadline: nothing was waited
};

struct WaitEnd {
    WaitOutcome outcome;
    std::uint64_t end;        // the last counter reading the wait took
    std::uint64_t frequency;  // the frequency the wait used, read once
};

// 2^63 as a double: the first tick value that does not fit a signed 64-bit count.
inline constexpr double kFirstTickValueTooLarge = 9223372036854775808.0;

// Ticks between two questions to the host: a millisecond's worth (at least one).
inline std::uint64_t interruptPollTicks(std::uint64_t frequency) {
    return std::max<std::uint64_t>(frequency / 1000, 1);
}

// Reads the counter from the reading `now` on until a reading is at or past
// `deadline` (both on the counter given by readCounter), and returns that
// reading; at once if now is already there. While more than interruptPollTicks
// are left, interruptPending is asked at `now`, then each time that many more
// ticks have passed: if it says so, the wait ends, interrupted, at the
// reading it was asked at. In the last of those stretches the loop is one
// counter reading and one comparison a pass.
template <class ReadCounter, class InterruptPending>
WaitEnd spinUntilOn(std::uint64_t now, std::uint64_t deadline, std::uint64_t frequency, ReadCounter readCounter,
                    InterruptPending interruptPending) {
    const std::uint64_t pollTicks = interruptPollTicks(frequency);
    if (deadline > now && deadline - now > pollTicks) {
        // Questions only at readings more than pollTicks short of the deadline
        // (no sum here can pass 2^64).
        const std::uint64_t lastMillisecond = deadline - pollTicks;
        std::uint64_t nextPoll = now;
        do {
            if (now >= nextPoll) {
                if (interruptPending()) return {WaitOutcome::interrupted, now, frequency};
                nextPoll = now + pollTicks;
            }
            now = readCounter();
        } while (now < lastMillisecond);
    }
    // The last millisecond: one counter reading and one comparison a pass.
    while (now < deadline) now = readCounter();
    return {WaitOutcome::reached, now, frequency};
}

// Waits durationMs milliseconds, truncated to whole ticks of the counter given
// by readCounter/readFrequency (plain callables returning std::uint64_t).
// The tick count is (durationMs * 0.001) * frequency, truncated toward zero.
//
// - Tick value NaN, or at or above 2^63 (+Inf included): noDeadline, at once,
//   without waiting or asking the host.
// - Tick count zero or negative (any negative duration, -Inf included): no
//   wait; reached, with the start reading as the end; the counter is not read
//   again and the host is not asked.
// - Otherwise: reached, at the first reading at or past start + ticks
//   (mod 2^64); or interrupted, if interruptPending (a plain callable
//   returning bool) says so. It is called at the start reading and then each
//   time interruptPollTicks more ticks have passed, and only while more than
//   that many are left: a request already pending ends a longer wait at once,
//   and a wait of a millisecond or less never asks, leaving it to the host.
//
// Tests pass a scripted counter and host; espera passes the platform's.
template <class ReadCounter, class ReadFrequency, class InterruptPending>
WaitEnd spinWaitOn(double durationMs, ReadCounter readCounter, ReadFrequency readFrequency,
                   InterruptPending interruptPending) {
    const std::uint64_t start = readCounter();
    const std::uint64_t frequency = readFrequency();
    // Multiply by 0.001 first, then by the frequency: 43 ms at 10 MHz is then
    // 430000.00000000006 ticks, where dividing by 1000 would lose one tick.
    const double tickValue = (durationMs * 0.001) * u64ToDouble(frequency);
    if (!(tickValue < kFirstTickValueTooLarge)) return {WaitOutcome::noDeadline, start, frequency};  // NaN too
    // Converting a negative tick value would put a huge magnitude modulo 2^64
    // and spin almost forever; a duration in the past asks for no wait.
    if (!(tickValue >= 1.0)) return {WaitOutcome::reached, start, frequency};
    const std::uint64_t deadline = start + static_cast<std::uint64_t>(static_cast<std::int64_t>(tickValue));
    if (deadline <= start) return {WaitOutcome::reached, start, frequency};  // wrapped past 2^64
    return spinUntilOn(start, deadline, frequency, readCounter, interruptPending);
}

// The wait on the platform counter.
template <class InterruptPending>
WaitEnd spinWait(double durationMs, InterruptPending interruptPending) {
    return spinWaitOn(durationMs, readCounter, readFrequency, interruptPending);
}

}  // namespace timing
