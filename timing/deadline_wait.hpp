// The wait behind hasta: until a time on reloj's scale, sleeping on the
// system's timer while the deadline is far and spinning on the counter for the
// rest, so that, when the system wakes it within its margin, it ends as close
// to the deadline as the busy wait does without keeping a processor busy the
// whole time. The margin is learned from how late this process's own wakeups
// came (marginCovering below: the rule, and why); what is learned is a plain
// value that the caller passes in and keeps between waits (LearnedWakeups);
// nothing else carries over.
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

// How late this process's recent wakeups came, which sets the margin: the
// largest lateness in each of the last two blocks of kWakeupBlock wakeups, so
// that the window holds the last 17 to 32 and an old late wakeup is forgotten
// within 32 more. A plain value the caller keeps between waits; 8 bytes, so
// that hasta keeps it in one lock-free atomic (packed: the DLLs have no
// runtime for a lock). All zero: nothing seen yet.
struct WakeupWindow {
    std::uint16_t currentUs;   // largest lateness in the current block, us, rounded up, at most 65535
    std::uint16_t previousUs;  // the same, in the block before
    std::uint16_t seen;        // wakeups in the current block, 1 to kWakeupBlock; 0 before the first
    std::uint16_t blocks;      // blocks completed before the current one, at most 1 (counted when the next begins)
};

// The window as one 64-bit word and back, for a caller that keeps it in an
// atomic: an atomic of the struct itself may need the runtime's lock-free
// helpers (clang calls __atomic_store for it), which the DLLs do not have.
inline std::uint64_t packed(const WakeupWindow& window) {
    return std::uint64_t{window.currentUs} | std::uint64_t{window.previousUs} << 16 |
           std::uint64_t{window.seen} << 32 | std::uint64_t{window.blocks} << 48;
}
inline WakeupWindow unpacked(std::uint64_t bits) {
    const auto field = [bits](int shift) { return static_cast<std::uint16_t>(bits >> shift); };
    return {field(0), field(16), field(32), field(48)};
}

inline constexpr std::uint16_t kWakeupBlock = 16;
inline constexpr double kLeastMarginSeconds = 50e-6;  // also what is added to the largest lateness
// Longest single sleep: a request to stop (Ctrl+C) is seen at each wakeup
// (in Octave a signal may also end the sleep at once), so within 50 ms and a
// wakeup's lateness; each wakeup costs some processor time, which fewer,
// longer sleeps spare.
inline constexpr double kLongestSleepSeconds = 0.050;
// Shortest sleep: a shorter one would spare little processor time, and a
// wakeup may come milliseconds late whatever the sleep's length. Such a
// stretch is spun.
inline constexpr double kShortestSleepSeconds = 0.001;

inline std::uint64_t marginTicks(double seconds, std::uint64_t frequency) {
    return std::max<std::uint64_t>(static_cast<std::uint64_t>(seconds * u64ToDouble(frequency)), 1);
}

// A lateness of `lateness` ticks in whole microseconds, rounded up (without
// the C library's ceil, which the DLLs do not have), at most 65535.
inline std::uint16_t latenessMicroseconds(std::uint64_t lateness, std::uint64_t frequency) {
    const double us = std::min(u64ToDouble(lateness) * 1e6 / u64ToDouble(frequency), 65535.0);
    auto latenessUs = static_cast<std::uint16_t>(us);
    if (latenessUs < us) ++latenessUs;
    return latenessUs;
}

// The window after a wakeup `lateness` ticks late.
inline WakeupWindow afterWakeup(WakeupWindow window, std::uint64_t lateness, std::uint64_t frequency) {
    const std::uint16_t latenessUs = latenessMicroseconds(lateness, frequency);
    if (window.seen == 0 || window.seen >= kWakeupBlock) {
        const bool completed = window.seen >= kWakeupBlock;
        return {latenessUs, completed ? window.currentUs : window.previousUs, 1,
                static_cast<std::uint16_t>(completed || window.blocks > 0 ? 1 : 0)};
    }
    window.currentUs = std::max(window.currentUs, latenessUs);
    ++window.seen;
    return window;
}

// The margin rule. A margin, in ticks, that covers a wakeup latenessUs late:
// that + 50 us, but never more than `ceiling` (ticks: the most a wakeup on
// this system's timer comes late by its design, from marginCeilingSeconds),
// nor less than 50 us. Learned from this process's own wakeups (marginFrom,
// raisedMarginFrom), so that a late wakeup rarely makes a late end and a
// machine that wakes promptly spins little. A wakeup later than the ceiling
// is the machine taking the processor away, which a spin would suffer as
// much: a wider margin would buy nothing with its spin, and with it the wait
// never spins longer than one that sleeps to the ceiling before its deadline.
inline std::uint64_t marginCovering(double latenessUs, std::uint64_t ceiling, std::uint64_t frequency) {
    const std::uint64_t least = marginTicks(kLeastMarginSeconds, frequency);
    // In whole microseconds times the frequency, then divided: exact where
    // the margin is a whole number of ticks.
    const double ticks = (latenessUs + kLeastMarginSeconds * 1e6) * u64ToDouble(frequency) / 1e6;
    return std::clamp(static_cast<std::uint64_t>(ticks), least, std::max(ceiling, least));
}

// The margin a wait keeps clear of its deadline, in ticks, at ordinary
// priority: one that covers 1.25 x the largest lateness in the window (17 to
// 32 wakeups say little of the next one: the quarter more is its allowance);
// the ceiling (or the least margin, if that is more) until a whole block of
// wakeups has been seen.
inline std::uint64_t marginFrom(const WakeupWindow& window, std::uint64_t ceiling, std::uint64_t frequency) {
    if (window.blocks == 0 && window.seen < kWakeupBlock) {
        return std::max(ceiling, marginTicks(kLeastMarginSeconds, frequency));
    }
    return marginCovering(std::max(window.currentUs, window.previousUs) * 1.25, ceiling, frequency);
}

// How late this process's wakeups came while its thread ran raised, which
// sets the margin then. Raised, the system wakes the thread before every
// ordinary one, promptly but for a late wakeup now and then; the window,
// which forgets a late wakeup within 32 more, would leave the margin thin
// again by the next one, and every such wakeup a late end. So this keeps,
// for the current block of kRaisedBlock wakeups and the one before, each
// block's second latest: the margin covers all but the latest wakeup of each
// block of the last 129 to 256, about their 99th percentile. A late wakeup
// that recurs holds the margin up for one to two blocks; a lone one, most
// often the machine taking the processor away for longer than any margin
// would cover, is passed over. A plain value the caller keeps between waits;
// 8 bytes, packed as the window is. All zero: nothing seen yet.
struct RaisedWakeups {
    std::uint16_t latestUs;          // the latest wakeup in the current block, us, rounded up, at most 65535
    std::uint16_t secondUs;          // the second latest in the current block; 0 while it has one
    std::uint16_t previousSecondUs;  // the second latest in the block before; 0 before one has completed
    std::uint8_t seen;               // wakeups in the current block, 1 to kRaisedBlock; 0 before the first
    std::uint8_t blocks;             // blocks completed before the current one, at most 1
};

inline constexpr std::uint8_t kRaisedBlock = 128;

inline std::uint64_t packed(const RaisedWakeups& raised) {
    return std::uint64_t{raised.latestUs} | std::uint64_t{raised.secondUs} << 16 |
           std::uint64_t{raised.previousSecondUs} << 32 | std::uint64_t{raised.seen} << 48 |
           std::uint64_t{raised.blocks} << 56;
}
inline RaisedWakeups unpackedRaised(std::uint64_t bits) {
    return {static_cast<std::uint16_t>(bits), static_cast<std::uint16_t>(bits >> 16),
            static_cast<std::uint16_t>(bits >> 32), static_cast<std::uint8_t>(bits >> 48),
            static_cast<std::uint8_t>(bits >> 56)};
}

// The memory after a wakeup, while raised, `lateness` ticks late.
inline RaisedWakeups afterRaisedWakeup(RaisedWakeups raised, std::uint64_t lateness, std::uint64_t frequency) {
    const std::uint16_t latenessUs = latenessMicroseconds(lateness, frequency);
    if (raised.seen == 0 || raised.seen >= kRaisedBlock) {
        const bool completed = raised.seen >= kRaisedBlock;
        return {latenessUs, 0, completed ? raised.secondUs : raised.previousSecondUs, 1,
                static_cast<std::uint8_t>(completed || raised.blocks > 0 ? 1 : 0)};
    }
    if (latenessUs > raised.latestUs) {
        raised.secondUs = raised.latestUs;
        raised.latestUs = latenessUs;
    } else {
        raised.secondUs = std::max(raised.secondUs, latenessUs);
    }
    ++raised.seen;
    return raised;
}

// The margin while raised, in ticks: one that covers the larger of the two
// blocks' second latest, with no allowance beyond the 50 us: it is already a
// high quantile of a hundred wakeups and more, and each microsecond more is
// spun on every wait. Until a first block has been seen raised, one that
// covers the latest of it: a part of a block says too little for its second
// latest (and the window's wakeups, at ordinary priority, nothing of these);
// the ceiling before the first.
inline std::uint64_t raisedMarginFrom(const RaisedWakeups& raised, std::uint64_t ceiling, std::uint64_t frequency) {
    if (raised.blocks == 0) {
        if (raised.seen == 0) return std::max(ceiling, marginTicks(kLeastMarginSeconds, frequency));
        return marginCovering(raised.latestUs, ceiling, frequency);
    }
    return marginCovering(std::max(raised.secondUs, raised.previousSecondUs), ceiling, frequency);
}

// What hasta learns from its wakeups: every one goes into the window, from
// which the margin comes while the thread runs at ordinary priority; those
// while it runs raised go into `raised` too, from which the margin then comes.
struct LearnedWakeups {
    WakeupWindow window;
    RaisedWakeups raised;
};

struct DeadlineWaitEnd {
    WaitEnd wait;            // as the busy wait's; noDeadline where there is no first reading
    LearnedWakeups learned;  // what to pass to the next wait
};

// Waits until the counter given by readCounter/readFrequency reaches
// firstReadingAtOrAfter(deadlineMs, frequency), and returns the reading it
// ended at.
//
// - No such reading: noDeadline, at once; the counter is not read.
// - The first reading already there: reached, at that reading, at once.
// - Otherwise, while the margin (marginFrom, or raisedMarginFrom where
//   threadRaised) and at least 1 ms more are left: asks interruptPending
//   (interrupted, at that reading, if it says so), then sleeps, through
//   sleepUntil(tick), which returns at or after the counter reaches tick, or
//   earlier (a signal, say), until the margin before the deadline but for no
//   more than kLongestSleepSeconds and no less than kShortestSleepSeconds at
//   a time. Each wakeup not earlier than asked for goes into the window with
//   how late it came, and where threadRaised into the raised memory too.
//   Then it spins to the deadline as the busy wait does (spinUntilOn, which
//   asks interruptPending once a millisecond but not in the last).
//
// learned: from the previous wait's DeadlineWaitEnd, or {} at first.
// threadRaised: the sleeper's threadRaised.
// ceilingSeconds: the sleeper's marginCeilingSeconds.
// All four callables are plain: tests pass a scripted counter, sleeper and
// host; hasta the platform's.
template <class ReadCounter, class ReadFrequency, class SleepUntil, class InterruptPending>
DeadlineWaitEnd waitUntilOn(double deadlineMs, LearnedWakeups learned, bool threadRaised, double ceilingSeconds,
                            ReadCounter readCounter, ReadFrequency readFrequency, SleepUntil sleepUntil,
                            InterruptPending interruptPending) {
    const std::uint64_t frequency = readFrequency();
    const std::optional<std::uint64_t> deadline = firstReadingAtOrAfter(deadlineMs, frequency);
    if (!deadline) return {{WaitOutcome::noDeadline, 0, frequency}, learned};
    std::uint64_t now = readCounter();
    if (now >= *deadline) return {{WaitOutcome::reached, now, frequency}, learned};
    const std::uint64_t ceiling = marginTicks(ceilingSeconds, frequency);
    const auto margin = [&] {
        return threadRaised ? raisedMarginFrom(learned.raised, ceiling, frequency)
                            : marginFrom(learned.window, ceiling, frequency);
    };
    // What this wait keeps clear of the deadline: the margin it started with,
    // or more if a wakeup on the way says so. A lower margin serves the next
    // wait: here it would only add sleeps ever closer to the deadline.
    std::uint64_t keepClear = margin();
    const std::uint64_t longestSleep = marginTicks(kLongestSleepSeconds, frequency);
    const std::uint64_t shortestSleep = marginTicks(kShortestSleepSeconds, frequency);
    while (now < *deadline && *deadline - now >= keepClear + shortestSleep) {
        if (interruptPending()) return {{WaitOutcome::interrupted, now, frequency}, learned};
        // The whole stretch if it is short enough; else the longest sleep, or
        // less, so that what it leaves is a sleep too.
        const std::uint64_t toSleep = *deadline - now - keepClear;
        const std::uint64_t wakeAt =
            toSleep <= longestSleep ? *deadline - keepClear : now + std::min(longestSleep, toSleep - shortestSleep);
        sleepUntil(wakeAt);
        now = readCounter();
        if (now >= wakeAt) {
            learned.window = afterWakeup(learned.window, now - wakeAt, frequency);
            if (threadRaised) learned.raised = afterRaisedWakeup(learned.raised, now - wakeAt, frequency);
            keepClear = std::max(keepClear, margin());
        }
    }
    return {spinUntilOn(now, *deadline, frequency, std::ref(readCounter), std::ref(interruptPending)), learned};
}

}  // namespace timing
