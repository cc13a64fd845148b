// libFuzzer target on the busy wait: any 8 bytes as the duration, any
// frequency, any start reading, on a counter that advances by a fuzzed step,
// and a host that asks the wait to stop at a fuzzed question (or never).
// Every input must be refused, or end at once at the start reading, or end at
// the first reading at or past its deadline, or end at the reading at which
// it was asked to stop; the host must be asked first at the start, then no
// more than once a millisecond of ticks, and never in the last millisecond. A
// wait that reads the counter more often than its tick count allows is
// stopped and reported instead of left spinning. The sanitizers report
// anything undefined on the way.
//
// Input: duration bits, frequency, start, step, the question that interrupts
// (0: none); 8 bytes each, little-endian, missing bytes zero.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>

#include "fuzz_input.hpp"
#include "timing/spin_wait.hpp"

namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
// Steps are scaled up so that no wait takes more than about this many reads:
// one input runs in microseconds, however long a duration it asks for.
constexpr std::uint64_t kMostReads = 1024;

// Reads start first, then start + step, start + 2 step, ... held at 2^64 - 1
// (a counter never goes back). Gives at most `budget` readings after the
// start; one more means the wait went past what its tick count allows.
struct Counter {
    std::uint64_t start, step, budget;
    std::uint64_t reads = 0, latest = 0, previous = 0;
    bool overrun = false;
    std::uint64_t operator()() {
        previous = latest;
        if (reads == 0) {
            latest = start;
        } else if (reads > budget) {
            overrun = true;
            latest = kMax;  // ends any wait; the overrun is reported afterwards
        } else {
            latest = latest > kMax - step ? kMax : latest + step;
        }
        ++reads;
        return latest;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint64_t durationBits = take(data, size);
    double durationMs;
    std::memcpy(&durationMs, &durationBits, sizeof durationMs);
    const std::uint64_t frequency = take(data, size);
    const std::uint64_t start = take(data, size);
    std::uint64_t step = take(data, size);
    if (step == 0) step = 1;
    const std::uint64_t interruptAt = take(data, size);

    // What the wait owes this input: a deadline start + ticks, where ticks is
    // the tick value (ms * 0.001) * frequency truncated, if that is a whole
    // number of ticks from 1 up to below 2^63 and the deadline does not pass
    // 2^64; no wait for anything below one tick (negative durations too) or
    // a deadline past 2^64; refusal for NaN and 2^63 ticks or more.
    const double tickValue = (durationMs * 0.001) * static_cast<double>(frequency);
    const bool refused = std::isnan(tickValue) || tickValue >= 9223372036854775808.0;
    std::uint64_t ticks = 0;
    if (!refused && tickValue >= 1.0) ticks = static_cast<std::uint64_t>(tickValue);
    if (ticks > kMax - start) ticks = 0;
    if (ticks / step >= kMostReads) step = ticks / kMostReads + 1;

    // A wait makes at most ceil(ticks / step) readings after the start.
    Counter counter{start, step, ticks == 0 ? 0 : ticks / step + 1};
    const std::uint64_t interval = timing::interruptPollTicks(frequency);
    std::uint64_t questions = 0, firstAskedAt = 0, lastAskedAt = 0;
    bool tooOften = false;
    const auto host = [&] {
        if (questions > 0 && counter.latest - lastAskedAt < interval) tooOften = true;
        if (questions == 0) firstAskedAt = counter.latest;
        lastAskedAt = counter.latest;
        return ++questions == interruptAt;
    };
    const timing::WaitEnd wait = timing::spinWaitOn(durationMs, std::ref(counter), [&] { return frequency; }, host);

    const auto expect = [&](bool holds, const char* fault) {
        if (holds) return;
        std::fprintf(stderr, "fuzz_wait: %s (duration %.17g ms, frequency %llu, start %llu, step %llu)\n", fault,
                     durationMs, static_cast<unsigned long long>(frequency), static_cast<unsigned long long>(start),
                     static_cast<unsigned long long>(step));
        std::abort();
    };
    expect(!counter.overrun, "read the counter more often than its tick count allows");
    if (refused) {
        expect(wait.outcome == timing::WaitOutcome::noDeadline, "waited where no deadline exists");
        expect(counter.reads == 1, "read the counter again after refusing");
        expect(questions == 0, "asked the host without a deadline");
        return 0;
    }
    expect(wait.outcome != timing::WaitOutcome::noDeadline, "refused a duration that has a deadline");
    expect(wait.frequency == frequency, "returned another frequency");
    if (ticks == 0) {
        expect(wait.outcome == timing::WaitOutcome::reached && wait.end == start && counter.reads == 1,
               "waited with nothing to wait for");
        expect(questions == 0, "asked the host with nothing to wait for");
        return 0;
    }
    const std::uint64_t deadline = start + ticks;
    expect(wait.end == counter.latest, "did not end at its last reading");
    expect(!tooOften, "asked the host more than once a millisecond of ticks");
    if (questions > 0) {
        expect(firstAskedAt == start, "did not ask the host first at the start");
        expect(deadline - lastAskedAt > interval, "asked the host in the last millisecond");
    }
    if (wait.outcome == timing::WaitOutcome::interrupted) {
        expect(questions == interruptAt, "ended as interrupted when the host had not asked");
        expect(wait.end == lastAskedAt, "read on after the host asked to stop");
        return 0;
    }
    expect(questions < interruptAt || interruptAt == 0, "went on after the host asked to stop");
    expect(ticks <= interval || questions > 0, "never asked the host in a wait of over a millisecond");
    expect(wait.end >= deadline, "ended before its deadline");
    expect(counter.previous < deadline, "went on reading past its deadline");
    return 0;
}
