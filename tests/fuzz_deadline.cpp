// libFuzzer target on hasta's wait: any 8 bytes as the deadline, any
// frequency, start reading, window of wakeups and memory of raised ones,
// either timer's ceiling, at ordinary or raised priority, a counter that
// advances by a fuzzed step, a sleeper whose wakeups come early or late by fuzzed amounts, and a
// host that asks the wait to stop at a fuzzed question (or never). Every input
// must be refused (without reading the counter), or end at once at the first
// reading when the deadline is past, or end at or past the first reading whose
// time on reloj's scale is at or after the deadline, or at the reading at
// which it was asked to stop; no sleep may be longer than 50 ms, shorter than
// 1 ms, or reach into the smallest margin, the margins the window and the
// raised memory returned give stay within their bounds, and the raised memory
// changes only where the thread ran raised. A wait that sleeps or reads far more often than its
// length allows is stopped and reported.
//
// Input: deadline bits, frequency, start, step, the window packed, the
// question that interrupts (0: none; + 64: an ordinary Windows timer's
// ceiling; + 128: raised), the raised memory packed, then one byte per
// wakeup: how late it comes, in 1/64ths of the sleep (bit 7: early instead);
// 8 bytes each before that, little-endian, missing bytes zero.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "fuzz_input.hpp"
#include "timing/deadline_wait.hpp"

namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint64_t kMostSteps = 4096;  // readings and sleeps, each

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint64_t deadlineBits = take(data, size);
    double deadlineMs;
    std::memcpy(&deadlineMs, &deadlineBits, sizeof deadlineMs);
    const std::uint64_t frequency = take(data, size);
    const std::uint64_t start = take(data, size);
    const std::uint64_t stepGiven = take(data, size) % 1000000 + 1;
    const timing::WakeupWindow window = timing::unpacked(take(data, size));
    const std::uint64_t question = take(data, size);
    const std::uint64_t interruptAt = question % 64;
    const double ceiling = question & 64 ? 0.016625 : 0.001;
    const bool raised = (question & 128) != 0;
    const std::uint64_t raisedBits = take(data, size);
    const timing::LearnedWakeups learned{window, timing::unpackedRaised(raisedBits)};
    const std::uint8_t* wakeups = data;
    const std::size_t wakeupCount = size;

    const std::optional<std::uint64_t> deadline = timing::firstReadingAtOrAfter(deadlineMs, frequency);
    // Steps scaled up so that no wait takes more than about kMostSteps
    // readings: one input runs in microseconds, however far its deadline.
    std::uint64_t step = stepGiven;
    if (deadline && *deadline > start) step = std::max(step, (*deadline - start) / kMostSteps + 1);
    const auto fault = [&](const char* what) {
        std::fprintf(stderr, "fuzz_deadline: %s (deadline %.17g ms, frequency %llu, start %llu, step %llu)\n", what,
                     deadlineMs, static_cast<unsigned long long>(frequency), static_cast<unsigned long long>(start),
                     static_cast<unsigned long long>(step));
        std::abort();
    };
    const auto expect = [&](bool holds, const char* what) {
        if (!holds) fault(what);
    };
    if (deadline) {
        const double at = timing::countToMsMultiplyFirst(*deadline, frequency);
        expect(at >= deadlineMs, "the deadline's reading is before the deadline");
        expect(*deadline == 0 || timing::countToMsMultiplyFirst(*deadline - 1, frequency) < deadlineMs,
               "the deadline's reading is not the first");
    }

    std::uint64_t now = start, latest = 0, reads = 0, sleeps = 0, questions = 0, askedAt = 0;
    const std::uint64_t least = frequency == 0 ? 1 : timing::marginTicks(50e-6, frequency);
    const std::uint64_t longest = frequency == 0 ? 1 : timing::marginTicks(timing::kLongestSleepSeconds, frequency);
    const std::uint64_t shortest = frequency == 0 ? 1 : timing::marginTicks(timing::kShortestSleepSeconds, frequency);
    const auto read = [&] {
        if (++reads > kMostSteps * 4) fault("read the counter too often");
        latest = now;
        now = now > kMax - step ? kMax : now + step;
        return latest;
    };
    const auto sleep = [&](std::uint64_t reading) {
        if (++sleeps > kMostSteps) fault("slept too often");
        expect(reading > latest, "slept until a reading already past");
        expect(reading - latest <= longest, "slept longer than 50 ms");
        expect(reading - latest >= shortest, "slept less than 1 ms");
        expect(deadline && reading <= *deadline - least, "slept into the last 50 us");
        const std::uint8_t how = wakeupCount == 0 ? 0 : wakeups[(sleeps - 1) % wakeupCount];
        const std::uint64_t span = (reading - latest) / 64 * (how & 0x7f);
        const std::uint64_t woke = how & 0x80 ? reading - span : (reading > kMax - span ? kMax : reading + span);
        if (woke > now) now = woke;
    };
    const auto host = [&] {
        askedAt = latest;
        return ++questions == interruptAt;
    };
    const timing::DeadlineWaitEnd ended = timing::waitUntilOn(
        deadlineMs, learned, raised, ceiling, read, [&] { return frequency; }, sleep, host);
    expect(raised || timing::packed(ended.learned.raised) == raisedBits, "learned raised wakeups while not raised");

    if (!deadline) {
        expect(ended.wait.outcome == timing::WaitOutcome::noDeadline, "waited without a deadline");
        expect(reads == 0 && sleeps == 0 && questions == 0, "read, slept or asked without a deadline");
        return 0;
    }
    expect(ended.wait.outcome != timing::WaitOutcome::noDeadline, "refused a deadline it has");
    expect(ended.wait.end == latest, "did not end at its last reading");
    if (start >= *deadline) {
        expect(ended.wait.outcome == timing::WaitOutcome::reached && reads == 1 && sleeps == 0 && questions == 0,
               "waited for a deadline already past");
        return 0;
    }
    if (sleeps > 0) {
        const std::uint64_t top = timing::marginTicks(ceiling, frequency);
        for (const std::uint64_t margin : {timing::marginFrom(ended.learned.window, top, frequency),
                                           timing::raisedMarginFrom(ended.learned.raised, top, frequency)}) {
            expect(margin >= least && margin <= std::max(top, least), "a margin out of its bounds");
        }
    }
    if (ended.wait.outcome == timing::WaitOutcome::interrupted) {
        expect(questions == interruptAt && ended.wait.end == askedAt, "went on after the host asked to stop");
        return 0;
    }
    expect(questions < interruptAt || interruptAt == 0, "went on after the host asked to stop");
    expect(ended.wait.end >= *deadline, "ended before its deadline");
    return 0;
}
