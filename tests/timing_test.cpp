// The clock's conversions and the busy wait, on a scripted counter and host:
// exact doubles, exact tick counts and when the host is asked, whatever the
// platform. The platform's own counter is read through the built extensions,
// in host_test.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "timing/spin_wait.hpp"

namespace {

constexpr std::uint64_t kTenMHz = 10000000;
constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct ConversionCase {
    const char* name;
    std::uint64_t reading, frequency;
    double multiplyFirst, divideFirst;
};

TEST(Clock, ConversionsKeepTheirOwnOrder) {
    const ConversionCase cases[] = {
        {"orders_differ_in_last_place", 123456789, kTenMHz, 12345.6789, 12345.678899999999},
        {"one_tick", 1, kTenMHz, 0.0001, 9.999999999999999e-05},
        {"zero_reading", 0, kTenMHz, 0.0, 0.0},
        {"nanosecond_counter", 1500000000, 1000000000, 1500.0, 1500.0},
        {"top_bit_set_is_not_negative", std::uint64_t{1} << 63, 1000, 9223372036854775808.0,
         9223372036854775808.0},
        {"frequency_zero_gives_infinity", 5, 0, kInf, kInf},
    };
    for (const ConversionCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(timing::countToMsMultiplyFirst(c.reading, c.frequency), c.multiplyFirst);
        EXPECT_EQ(timing::countToMsDivideFirst(c.reading, c.frequency), c.divideFirst);
    }
    EXPECT_TRUE(std::isnan(timing::countToMsDivideFirst(0, 0)));
}

// A counter that returns the scripted readings in order and fails the test if
// read once more than scripted.
struct ScriptedCounter {
    std::vector<std::uint64_t> readings;
    std::size_t reads = 0;
    std::uint64_t operator()() {
        if (reads >= readings.size()) {
            ADD_FAILURE() << "counter read " << reads + 1 << " times, scripted " << readings.size();
            return kMax;
        }
        return readings[reads++];
    }
};

// A host that is never asked to stop the wait; counts how often it is asked.
struct QuietHost {
    int asked = 0;
    bool operator()() {
        ++asked;
        return false;
    }
};

struct WaitCase {
    const char* name;
    double durationMs;
    std::uint64_t start, frequency;
    bool refused;
    std::uint64_t deadline;  // start itself when there is no wait
};

TEST(SpinWait, TicksAreTruncatedFromDurationTimesMilliTimesFrequency) {
    const std::uint64_t s = 1000000;
    const WaitCase cases[] = {
        {"milli_first_keeps_a_tick", 43, s, kTenMHz, false, s + 430000},
        {"truncated_not_rounded", 0.3, s, kTenMHz, false, s + 2999},
        {"truncated_below_whole", 4.1, s, kTenMHz, false, s + 40999},
        {"exact", 2.5, s, kTenMHz, false, s + 25000},
        // 1025 * 0.001 rounds to just under 1.025: one nanosecond short.
        {"nanosecond_counter_one_tick_short", 1025, s, 1000000000, false, s + 1024999999},
        {"nanosecond_counter_whole", 1024, s, 1000000000, false, s + 1024000000},
        {"one_tick", 0.0001, s, kTenMHz, false, s + 1},
        {"under_one_tick_no_wait", 0.00009, s, kTenMHz, false, s},
        {"zero_no_wait", 0, s, kTenMHz, false, s},
        {"negative_no_wait", -3, s, kTenMHz, false, s},
        // A negative tick count larger than the start reading would put the
        // deadline near 2^64 and spin for ever: it is no wait too.
        {"negative_beyond_start_no_wait", -3, 10, kTenMHz, false, 10},
        {"huge_negative_no_wait", -1e300, s, kTenMHz, false, s},
        {"minus_infinity_no_wait", -kInf, s, kTenMHz, false, s},
        {"deadline_past_2_to_64_no_wait", 0.002, kMax - 9, kTenMHz, false, kMax - 9},
        {"largest_tick_count_waits", 999, 0, std::uint64_t{1} << 63, false, 9214148664817921024u},
        {"nan_refused", kNaN, s, kTenMHz, true, 0},
        {"infinity_refused", kInf, s, kTenMHz, true, 0},
        {"ticks_at_2_to_63_refused", 1000, s, std::uint64_t{1} << 63, true, 0},
        {"beyond_2_to_63_refused", 1e300, s, kTenMHz, true, 0},
        {"infinity_times_zero_frequency_refused", kInf, s, 0, true, 0},
    };
    for (const WaitCase& c : cases) {
        SCOPED_TRACE(c.name);
        const bool waits = !c.refused && c.deadline != c.start;
        // Start, then one reading short of the deadline, then the deadline.
        ScriptedCounter counter{{c.start}};
        if (waits) counter.readings.insert(counter.readings.end(), {c.deadline - 1, c.deadline});
        QuietHost host;
        const timing::WaitEnd wait =
            timing::spinWaitOn(c.durationMs, std::ref(counter), [&] { return c.frequency; }, std::ref(host));
        EXPECT_EQ(wait.outcome, c.refused ? timing::WaitOutcome::noDeadline : timing::WaitOutcome::reached);
        EXPECT_EQ(counter.reads, counter.readings.size());
        if (!waits) {
            EXPECT_EQ(host.asked, 0);
        }
        if (c.refused) continue;
        EXPECT_EQ(wait.end, c.deadline);
        EXPECT_EQ(wait.frequency, c.frequency);
    }
}

TEST(SpinWait, EndsAtTheFirstReadingAtOrPastTheDeadline) {
    ScriptedCounter counter{{100, 101, 150, 1099, 1250, 1300}};
    const timing::WaitEnd wait =
        timing::spinWaitOn(0.1, std::ref(counter), [] { return std::uint64_t{kTenMHz}; }, QuietHost{});
    EXPECT_EQ(wait.outcome, timing::WaitOutcome::reached);
    EXPECT_EQ(wait.end, 1250u);  // deadline 1100: 1099 is short of it
    EXPECT_EQ(counter.reads, 5u);
}

TEST(SpinWait, FrequencyIsReadOnceAfterTheStartAndBeforeTheHostIsAsked) {
    std::vector<char> order;
    ScriptedCounter counter{{0, 20000}};
    const timing::WaitEnd wait = timing::spinWaitOn(
        2, [&] { order.push_back('c'); return counter(); },
        [&] { order.push_back('f'); return std::uint64_t{kTenMHz}; },
        [&] { order.push_back('i'); return false; });
    EXPECT_EQ(wait.outcome, timing::WaitOutcome::reached);
    EXPECT_EQ(std::string(order.begin(), order.end()), "cfic");
}

// A counter that starts at start and advances by step ticks a reading, and a
// host that notes the reading at which it is asked.
struct SteppingCounter {
    std::uint64_t latest, step;
    std::size_t reads = 0;
    std::uint64_t operator()() {
        if (reads++ > 0) latest += step;
        return latest;
    }
};

struct PollCase {
    const char* name;
    double durationMs;
    std::uint64_t frequency, step;
    std::size_t questions;
};

TEST(SpinWait, AsksTheHostAboutOnceAMillisecondButNotInTheLast) {
    const PollCase cases[] = {
        // Asked at 0, 10500, 21000, 31500; 40600 is within a millisecond of 50000.
        {"five_ms_at_10_MHz", 5, kTenMHz, 700, 4},
        {"nanosecond_counter", 20, 1000000000, 333, 19},
        {"just_over_a_ms_asks_at_the_start", 1.01, kTenMHz, 7, 1},
        {"a_ms_never_asks", 1, kTenMHz, 7, 0},
        {"less_never_asks", 0.5, 1000000000, 3, 0},
        // Readings further apart than a millisecond: asked at each, but for
        // the last millisecond's.
        {"slow_reads", 10, kTenMHz, 25000, 4},
        // Under a thousand ticks a second: asked every tick but the last.
        {"frequency_under_1000", 1000, 100, 1, 99},
    };
    for (const PollCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::uint64_t start = 5000000;
        SteppingCounter counter{start, c.step};
        std::vector<std::uint64_t> askedAt;
        const timing::WaitEnd wait = timing::spinWaitOn(
            c.durationMs, std::ref(counter), [&] { return c.frequency; },
            [&] { askedAt.push_back(counter.latest); return false; });
        const std::uint64_t ticks = static_cast<std::uint64_t>((c.durationMs * 0.001) * double(c.frequency));
        const std::uint64_t deadline = start + ticks;
        const std::uint64_t interval = timing::interruptPollTicks(c.frequency);
        EXPECT_EQ(wait.outcome, timing::WaitOutcome::reached);
        EXPECT_GE(wait.end, deadline);
        EXPECT_LT(wait.end - c.step, deadline);
        ASSERT_EQ(askedAt.size(), c.questions);
        if (askedAt.empty()) continue;
        EXPECT_EQ(askedAt.front(), start);  // a request already pending ends it at once
        for (std::size_t i = 1; i < askedAt.size(); ++i) {
            EXPECT_GE(askedAt[i] - askedAt[i - 1], interval) << "question " << i;
            EXPECT_LT(askedAt[i] - askedAt[i - 1], interval + c.step) << "question " << i;
        }
        EXPECT_GT(deadline - askedAt.back(), interval) << "asked in the last millisecond";
    }
}

struct InterruptCase {
    const char* name;
    double durationMs;
    int askedWhenInterrupted;
    std::uint64_t end;
};

TEST(SpinWait, AnInterruptEndsTheWaitAtOnce) {
    // 10 MHz, start 0, 1000 ticks a reading: asked at 0, 10000, 20000, ...
    const InterruptCase cases[] = {
        {"pending_before_the_wait", 5, 1, 0},
        {"third_question", 5, 3, 20000},
        {"years", 1e12, 2, 10000},
    };
    for (const InterruptCase& c : cases) {
        SCOPED_TRACE(c.name);
        SteppingCounter counter{0, 1000};
        int asked = 0;
        const timing::WaitEnd wait = timing::spinWaitOn(
            c.durationMs, std::ref(counter), [] { return std::uint64_t{kTenMHz}; },
            [&] { return ++asked == c.askedWhenInterrupted; });
        EXPECT_EQ(wait.outcome, timing::WaitOutcome::interrupted);
        EXPECT_EQ(wait.end, c.end);
        EXPECT_EQ(wait.frequency, kTenMHz);
        EXPECT_EQ(asked, c.askedWhenInterrupted);
        EXPECT_EQ(counter.reads, c.end / 1000 + 1) << "read on after the interrupt";
    }
}

}  // namespace
