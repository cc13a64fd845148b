// The wait behind hasta: until a time on reloj's scale, sleeping on the
// system's timer while the deadline is far and spinning on the counter for the
// rest, so that it ends as close to the deadline as the busy wait does
// without keeping a processor busy the whole time.
//
// It sleeps until a margin before the deadline, and the margin is learned from
// how late this process's own wakeups come (the oversleep): a late wakeup then
// rarely makes a late end, and a machine that wakes promptly spins little.
// The margin is a plain value that the caller passes in and keeps between
// waits (nextMargin is the rule); nothing else carries over.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>

#include "clock.hpp"
#include "spin_wait.hpp"

namespace timing {

inline constexpr std::uint64_t kLastReading = std::numeric_limits<std::uint64_t>::max();

// The first counter reading whose time on reloj's scale,
// countToMsMultiplyFirst(reading, frequency), is at or after deadlineMs; so a
// wait that ends at or past it returns a time at or after deadlineMs, compared
// on one scale. Deadlines at or before the counter's origin give 0. None for
// NaN, +-Inf, a deadline later than the last reading the counter can give, or
// a frequency of 0.
inline std::optional<std::uint64_t> firstReadingAtOrAfter(double deadlineMs, std::uint64_t frequency) {
    const auto at = [&](std::uint64_t reading) { return countToMsMultiplyFirst(reading, frequency); };
    if (frequency == 0 || deadlineMs - deadlineMs != 0.0) return std::nullopt;  // NaN or infinite
    if (!(at(kLastReading) >= deadlineMs)) return std::nullopt;
    if (deadlineMs <= 0.0) return 0;
    // Within a few ticks (a few units in the last place of the reading); then
    // exact, one tick at a time. The time never decreases with the reading, and
    // the last reading is at or after the deadline, so both loops end.
    const double estimate = (deadlineMs / 1000.0) * u64ToDouble(frequency);
    std::uint64_t reading = estimate >= 18446744073709551616.0 ? kLastReading : static_cast<std::uint64_t>(estimate);
    while (at(reading) < deadlineMs) ++reading;
    while (reading > 0 && at(reading - 1) >= deadlineMs) --reading;
    return reading;
}

// The margin's rule and bounds, in time; in ticks of a counter by marginTicks.
inline constexpr double kFirstMarginSeconds = 0.002;  // before any wakeup has been seen
inline constexpr double kLeastMarginSeconds = 50e-6;  // also what is added to each oversleep
inline constexpr double kMostMarginSeconds = 0.020;   // past a timer that wakes every 15.6 ms
// Longest single sleep: a request to stop (Ctrl+C) is seen at each wakeup,
// so within 10 ms with a wakeup's usual lateness; and each wakeup costs some
// processor time, which fewer, longer sleeps spare.
inline constexpr double kLongestSleepSeconds = 0.008;
// Shortest sleep: a shorter one would spare little processor time, and a
// wakeup may come milliseconds late whatever the sleep's length. Such a
// stretch is spun.
inline constexpr double kShortestSleepSeconds = 0.001;

inline std::uint64_t marginTicks(double seconds, std::uint64_t frequency) {
    return std::max<std::uint64_t>(static_cast<std::uint64_t>(seconds * u64ToDouble(frequency)), 1);
}

// The margin a wait starts with: 2 ms where nothing has been learned yet
// (0), else the one given, within the bounds.
inline std::uint64_t usableMargin(std::uint64_t margin, std::uint64_t frequency) {
    if (margin == 0) margin = marginTicks(kFirstMarginSeconds, frequency);
    return std::clamp(margin, marginTicks(kLeastMarginSeconds, frequency), marginTicks(kMostMarginSeconds, frequency));
}

// The margin after a wakeup `oversleep` ticks late: at once up to 1.25 x the
// oversleep + 50 us if that is more; else down a 32nd of the way there, so
// that the largest recent oversleep sets it and an old one fades over some
// tens of wakeups. Kept within 50 us and 20 ms. A margin of 0 (nothing learned
// yet) counts as the first margin, 2 ms.
inline std::uint64_t nextMargin(std::uint64_t margin, std::uint64_t oversleep, std::uint64_t frequency) {
    margin = usableMargin(margin, frequency);
    oversleep = std::min(oversleep, marginTicks(kMostMarginSeconds, frequency));  // no sum below passes 2^64
    const std::uint64_t wanted = oversleep + oversleep / 4 + marginTicks(kLeastMarginSeconds, frequency);
    return usableMargin(wanted >= margin ? wanted : margin - (margin - wanted) / 32, frequency);
}

struct DeadlineWaitEnd {
    WaitEnd wait;         // as the busy wait's; noDeadline where there is no first reading
    std::uint64_t margin;  // the margin to pass to the next wait
};

// Waits until the counter given by readCounter/readFrequency reaches
// firstReadingAtOrAfter(deadlineMs, frequency), and returns the reading it
// ended at.
//
// - No such reading: noDeadline, at once; the counter is not read.
// - The first reading already there: reached, at that reading, at once.
// - Otherwise, while the margin and at least 1 ms more are left: asks
//   interruptPending (interrupted, at that reading, if it says so), then
//   sleeps, through sleepUntil(tick), which returns at or after the counter
//   reaches tick, or earlier (a signal, say), until the margin before the
//   deadline but for no more than 8 ms and no less than 1 ms at a time.
//   Each wakeup not earlier than asked for feeds nextMargin with how late it
//   came. A margin that grows on the way counts at once; one that shrinks,
//   from the next wait on.
//   Then it spins to the deadline as the busy wait does (spinUntilOn, which
//   asks interruptPending once a millisecond but not in the last).
//
// margin: ticks, from the previous wait's DeadlineWaitEnd, or 0 at first.
// All four callables are plain: tests pass a scripted counter, sleeper and
// host; hasta the platform's.
template <class ReadCounter, class ReadFrequency, class SleepUntil, class InterruptPending>
DeadlineWaitEnd waitUntilOn(double deadlineMs, std::uint64_t margin, ReadCounter readCounter,
                            ReadFrequency readFrequency, SleepUntil sleepUntil, InterruptPending interruptPending) {
    const std::uint64_t frequency = readFrequency();
    const std::optional<std::uint64_t> deadline = firstReadingAtOrAfter(deadlineMs, frequency);
    if (!deadline) return {{WaitOutcome::noDeadline, 0, frequency}, margin};
    std::uint64_t now = readCounter();
    if (now >= *deadline) return {{WaitOutcome::reached, now, frequency}, margin};
    margin = usableMargin(margin, frequency);
    // What this wait keeps clear of the deadline: the margin it started with,
    // or more if a wakeup on the way says so. A lower margin serves the next
    // wait: here it would only add sleeps ever closer to the deadline.
    std::uint64_t keepClear = margin;
    const std::uint64_t longestSleep = marginTicks(kLongestSleepSeconds, frequency);
    const std::uint64_t shortestSleep = marginTicks(kShortestSleepSeconds, frequency);
    while (now < *deadline && *deadline - now >= keepClear + shortestSleep) {
        if (interruptPending()) return {{WaitOutcome::interrupted, now, frequency}, margin};
        // The whole stretch if it is short enough; else the longest sleep, or
        // less, so that what it leaves is a sleep too.
        const std::uint64_t toSleep = *deadline - now - keepClear;
        const std::uint64_t wakeAt =
            toSleep <= longestSleep ? *deadline - keepClear : now + std::min(longestSleep, toSleep - shortestSleep);
        sleepUntil(wakeAt);
        now = readCounter();
        if (now >= wakeAt) {
            margin = nextMargin(margin, now - wakeAt, frequency);
            keepClear = std::max(keepClear, margin);
        }
    }
    return {spinUntilOn(now, *deadline, frequency, std::ref(readCounter), std::ref(interruptPending)), margin};
}

}  // namespace timing
