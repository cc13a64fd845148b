// The clock's conversions and the busy wait, on a scripted counter: exact
// doubles and exact tick counts, whatever the platform.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
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

TEST(Clock, U64ToDoubleIsUnsignedAndNearest) {
    EXPECT_EQ(timing::u64ToDouble(std::uint64_t{1} << 63), 9223372036854775808.0);
    EXPECT_EQ(timing::u64ToDouble(kMax), 18446744073709551616.0);
    EXPECT_EQ(timing::u64ToDouble((std::uint64_t{1} << 63) + 1025), 9223372036854777856.0);
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
        const auto wait = timing::spinWaitOn(c.durationMs, std::ref(counter), [&] { return c.frequency; });
        ASSERT_EQ(wait.has_value(), !c.refused);
        EXPECT_EQ(counter.reads, counter.readings.size());
        if (c.refused) continue;
        EXPECT_EQ(wait->end, c.deadline);
        EXPECT_EQ(wait->frequency, c.frequency);
    }
}

TEST(SpinWait, EndsAtTheFirstReadingAtOrPastTheDeadline) {
    ScriptedCounter counter{{100, 101, 150, 1099, 1250, 1300}};
    const auto wait = timing::spinWaitOn(0.1, std::ref(counter), [] { return std::uint64_t{kTenMHz}; });
    ASSERT_TRUE(wait.has_value());
    EXPECT_EQ(wait->end, 1250u);  // deadline 1100: 1099 is short of it
    EXPECT_EQ(counter.reads, 5u);
}

TEST(SpinWait, FrequencyIsReadOnceAfterTheStart) {
    std::vector<char> order;
    ScriptedCounter counter{{0, 5000}};
    const auto wait = timing::spinWaitOn(
        0.5, [&] { order.push_back('c'); return counter(); },
        [&] { order.push_back('f'); return std::uint64_t{kTenMHz}; });
    ASSERT_TRUE(wait.has_value());
    EXPECT_EQ(std::string(order.begin(), order.end()), "cfc");
}

TEST(SpinWait, PlatformCounterWaitsAtLeastTheTicks) {
    const std::uint64_t before = timing::readCounter();
    const auto wait = timing::spinWait(2.0);
    ASSERT_TRUE(wait.has_value());
    EXPECT_EQ(wait->frequency, timing::readFrequency());
    EXPECT_GE(wait->end - before, static_cast<std::uint64_t>(2.0 * 0.001 * timing::u64ToDouble(wait->frequency)));
}

}  // namespace
