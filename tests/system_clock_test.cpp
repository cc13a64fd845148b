// fecha's pairing of the counter with the system clock, on scripted readers:
// which try is kept, when the tries stop, the times made of it; and on
// Windows the coarse system clock, taken where the precise call is absent.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "timing/system_clock.hpp"

namespace {

struct Try {
    std::uint64_t before;
    double clockMs;
    std::uint64_t after;
};

// Ten tries 1 us apart at 1 GHz, each distances[i] ticks long, the clock
// showing 1.8e12 + i ms.
std::vector<Try> tenTries(const std::vector<std::uint64_t>& distances) {
    std::vector<Try> tries;
    for (std::size_t i = 0; i < distances.size(); ++i) {
        const std::uint64_t before = 1000000000 + 1000 * i;
        tries.push_back({before, 1.8e12 + static_cast<double>(i), before + distances[i]});
    }
    return tries;
}

struct PairCase {
    const char* name;
    std::uint64_t frequency;
    std::vector<Try> tries;  // every try scripted must be read, and no more
    double stepMs;
    double t, utc, uncertaintyMs;
};

TEST(ClockPair, ClosestTryKeptAtItsMidpoint) {
    const PairCase cases[] = {
        {"closest_of_ten", 1000000000, tenTries({900, 700, 300, 800, 400, 500, 600, 350, 999, 301}), 0,
         1000.00215, 1.8e12 + 2, 0.00015},
        {"first_of_equals", 1000000000, tenTries(std::vector<std::uint64_t>(10, 300)), 0, 1000.00015, 1.8e12, 0.00015},
        {"odd_distance_half_a_tick", 1000000000, tenTries({9, 9, 9, 9, 9, 9, 9, 9, 9, 1}), 0,
         1000.0090005, 1.8e12 + 9, 0.0000005},
        {"stops_once_a_millisecond_of_ticks_has_passed", 10000000,
         {{1000000, 5.0, 1000040}, {1005000, 6.0, 1005030}, {1009000, 7.0, 1010000}}, 0, 100.5015, 6.0, 0.0015},
        {"a_try_zero_ticks_apart_ends_the_search", 10000000, {{100, 5.0, 104}, {110, 6.0, 110}}, 0, 0.011, 6.0, 0.0},
        // A clock that shows the time of its last update: the middle of the
        // step, and half the step more uncertain.
        {"coarse_clock_at_the_middle_of_its_step", 10000000, {{100, 5.0, 100}}, 15.625, 0.01, 12.8125, 7.8125},
    };
    for (const PairCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::size_t counterReads = 0, clockReads = 0;
        auto counter = [&]() -> std::uint64_t {
            const std::size_t at = counterReads++ / 2;
            if (at >= c.tries.size()) return 0;  // counted: fails below
            return counterReads % 2 == 1 ? c.tries[at].before : c.tries[at].after;
        };
        auto clock = [&]() -> timing::SystemClockReading {
            const std::size_t at = clockReads++;
            if (at >= c.tries.size()) return {0, 0};
            return {c.tries[at].clockMs, c.stepMs};
        };
        const timing::ClockPair pair = timing::pairWithCounter(c.frequency, counter, clock);
        EXPECT_EQ(clockReads, c.tries.size());
        EXPECT_EQ(counterReads, 2 * c.tries.size());
        EXPECT_DOUBLE_EQ(pair.t, c.t);
        EXPECT_DOUBLE_EQ(pair.utc, c.utc);
        EXPECT_NEAR(pair.uncertaintyMs, c.uncertaintyMs, 1e-12);
    }
}

#if defined(_WIN32)
// Where GetSystemTimePreciseAsFileTime is absent (Windows 7), the coarse
// clock: its readings never ahead of the precise clock's nor more than a
// step behind, and a pair whose uncertainty covers half the step.
TEST(SystemClock, WindowsWithoutThePreciseCall) {
    const timing::SystemClock precise = timing::openSystemClock();
    const timing::SystemClock coarse = timing::systemClockWith(nullptr);
    ASSERT_NE(precise.precise, nullptr);
    ASSERT_EQ(coarse.precise, nullptr);
    EXPECT_GT(coarse.stepMs, 0.0);
    EXPECT_LE(coarse.stepMs, 100.0);
    const double before = timing::readSystemClock(precise).ms;
    const timing::SystemClockReading shown = timing::readSystemClock(coarse);
    const timing::ClockPair pair = timing::pairWithCounter(timing::readFrequency(), timing::readCounter,
                                                           [&] { return timing::readSystemClock(coarse); });
    const double after = timing::readSystemClock(precise).ms;
    EXPECT_EQ(shown.stepMs, coarse.stepMs);
    EXPECT_LE(shown.ms, after);
    EXPECT_GE(shown.ms + shown.stepMs, before);
    EXPECT_GE(pair.uncertaintyMs, coarse.stepMs / 2);
    EXPECT_GE(pair.utc + pair.uncertaintyMs, before);
    EXPECT_LE(pair.utc - pair.uncertaintyMs, after);
    EXPECT_TRUE(std::isnan(timing::systemClockErrorMs())) << "KERNEL32 does not say";
}
#endif

}  // namespace
