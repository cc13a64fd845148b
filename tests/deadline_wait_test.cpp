// hasta's wait on a scripted machine: a counter, a sleeper that wakes when
// told to (on time, early or late) and a host that may ask it to stop; then
// the platform's own sleeper, on the counter the extensions read. (The wait
// on the platform's counter is checked through the built hasta, by host_test.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "timing/deadline_wait.hpp"
#include "timing/sleeper.hpp"

namespace {

using timing::WaitOutcome;

constexpr std::uint64_t kTenMHz = 10000000;
constexpr std::uint64_t kGHz = 1000000000;
constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
constexpr double kInf = std::numeric_limits<double>::infinity();

double at(std::uint64_t reading, std::uint64_t frequency) { return timing::countToMsMultiplyFirst(reading, frequency); }

// The first reading is exact: at or after the deadline on reloj's scale, and
// the one before it is not.
testing::AssertionResult isFirstReading(std::optional<std::uint64_t> reading, double deadlineMs,
                                        std::uint64_t frequency) {
    if (!reading) return testing::AssertionFailure() << "refused";
    if (!(at(*reading, frequency) >= deadlineMs)) return testing::AssertionFailure() << *reading << " is before it";
    if (*reading > 0 && at(*reading - 1, frequency) >= deadlineMs)
        return testing::AssertionFailure() << *reading - 1 << " is already at or after it";
    return testing::AssertionSuccess();
}

struct FirstReadingCase {
    const char* name;
    double deadlineMs;
    std::uint64_t frequency;
    std::optional<std::uint64_t> reading;  // none: refused
};

TEST(DeadlineWait, FirstReadingAtOrAfterTheDeadlineOnRelojsScale) {
    const double lastAtGHz = at(kMax, kGHz);
    const FirstReadingCase cases[] = {
        {"exact_on_relojs_scale", 12345.6789, kTenMHz, 123456789},
        // espera's conversion of 123456789 gives this, a hair before reloj's.
        {"espera_scale_time_of_the_same_reading", 12345.678899999999, kTenMHz, 123456789},
        {"just_after_a_tick", 12345.67890000001, kTenMHz, 123456790},
        {"one_tick", 0.0001, kTenMHz, 1},
        {"nanoseconds", 1500.000000001, kGHz, 1500000001},
        {"zero", 0, kTenMHz, 0},
        {"negative_is_the_origin", -5, kTenMHz, 0},
        {"far_negative_is_the_origin", -1e300, kGHz, 0},
        {"last_reading", lastAtGHz, kGHz, std::nullopt},  // checked below: near 2^64
        {"nan_refused", std::nan(""), kTenMHz, std::nullopt},
        {"inf_refused", kInf, kTenMHz, std::nullopt},
        {"minus_inf_refused", -kInf, kTenMHz, std::nullopt},
        {"past_the_last_reading_refused", std::nextafter(lastAtGHz, kInf), kGHz, std::nullopt},
        {"1e300_refused", 1e300, kTenMHz, std::nullopt},
        {"no_frequency_refused", 5, 0, std::nullopt},
    };
    for (const FirstReadingCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<std::uint64_t> got = timing::firstReadingAtOrAfter(c.deadlineMs, c.frequency);
        if (c.reading) {
            EXPECT_EQ(got, c.reading);
            EXPECT_TRUE(isFirstReading(got, c.deadlineMs, c.frequency));
        } else if (c.deadlineMs == lastAtGHz) {
            ASSERT_TRUE(got.has_value());
            EXPECT_TRUE(isFirstReading(got, c.deadlineMs, c.frequency));
            EXPECT_GT(*got, kMax - 4096);
        } else {
            EXPECT_FALSE(got.has_value()) << *got;
        }
    }
}

// Readings beyond 2^53 convert to doubles many ticks apart: the reading must
// still be the first, at every magnitude and at the counters of both systems.
TEST(DeadlineWait, FirstReadingIsExactAtEveryMagnitude) {
    std::mt19937_64 random(23);
    for (std::uint64_t frequency : {kGHz, kTenMHz, std::uint64_t{3579545}, std::uint64_t{14318180}}) {
        for (int i = 0; i < 3000; ++i) {
            const std::uint64_t reading = random() >> (random() % 64);
            for (double deadlineMs : {at(reading, frequency), std::nextafter(at(reading, frequency), kInf),
                                      std::nextafter(at(reading, frequency), 0.0)}) {
                ASSERT_TRUE(isFirstReading(timing::firstReadingAtOrAfter(deadlineMs, frequency), deadlineMs, frequency))
                    << "deadline " << deadlineMs << " at " << frequency << " Hz";
            }
        }
    }
}

constexpr std::uint64_t kUs = 10;  // ticks per microsecond at 10 MHz
constexpr std::int64_t kEarlyUs = -10;  // the same, for a wakeup that comes early

struct MarginCase {
    const char* name;
    std::uint64_t margin, oversleep, next;  // ticks at 10 MHz
};

TEST(DeadlineWait, MarginRisesToTheOversleepAtOnceAndFallsSlowly) {
    const MarginCase cases[] = {
        // 1.25 x oversleep + 50 us, at once when that is more.
        {"late_wakeup_raises_it", 100 * kUs, 1000 * kUs, 1300 * kUs},
        {"from_nothing_learned", 0, 4000 * kUs, 5050 * kUs},
        // Else a 32nd of the way down: 2 ms first, towards 50 us.
        {"first_prompt_wakeup", 0, 0, 2000 * kUs - (1950 * kUs) / 32},
        {"prompt_wakeup_lowers_it_a_32nd", 1300 * kUs, 80 * kUs, 1300 * kUs - (1300 - 150) * kUs / 32},
        {"equal_stays", 150 * kUs, 80 * kUs, 150 * kUs},
        {"never_below_50_us", 50 * kUs, 0, 50 * kUs},
        {"given_below_50_us", 3, 0, 50 * kUs},
        {"never_above_20_ms", 1000 * kUs, 900000 * kUs, 20000 * kUs},
        {"huge_oversleep_does_not_overflow", 1000 * kUs, kMax, 20000 * kUs},
        {"given_above_20_ms_falls_from_20_ms", kMax, 0, 20000 * kUs - (20000 - 50) * kUs / 32},
    };
    for (const MarginCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(timing::nextMargin(c.margin, c.oversleep, kTenMHz), c.next);
    }
}

TEST(DeadlineWait, MarginFollowsTheLargestRecentOversleep) {
    // A 1 ms oversleep among prompt (80 us) ones: the margin covers another
    // such for the next ten wakeups, and is back within 100 us of the prompt
    // ones' 150 us after a hundred.
    std::uint64_t margin = timing::nextMargin(0, 1000 * kUs, kTenMHz);
    for (int i = 1; i <= 100; ++i) {
        margin = timing::nextMargin(margin, 80 * kUs, kTenMHz);
        if (i == 10) {
            EXPECT_GT(margin, 1000 * kUs);
        }
    }
    EXPECT_LT(margin, 250 * kUs);
    EXPECT_GE(margin, 150 * kUs);
}

// A machine whose counter advances `step` ticks a reading and whose sleeper
// wakes `oversleeps[i]` ticks after the i-th reading asked for (negative:
// before; the last one again when the list runs out; none: on time). It
// notes every sleep and every question, and says stop at question
// `stopAtQuestion` (0: never).
struct Machine {
    std::uint64_t now, step;
    std::vector<std::int64_t> oversleeps;
    int stopAtQuestion;
    std::size_t reads = 0;
    std::uint64_t latest = 0;  // the last reading taken
    std::vector<std::uint64_t> sleptFrom, sleptUntil, askedAt;

    explicit Machine(std::uint64_t start, std::uint64_t ticksAReading = 1, std::vector<std::int64_t> late = {},
                     int stopAt = 0)
        : now(start), step(ticksAReading), oversleeps(std::move(late)), stopAtQuestion(stopAt) {}

    std::uint64_t read() {
        ++reads;
        latest = now;
        now += step;
        return latest;
    }
    void sleep(std::uint64_t reading) {
        sleptFrom.push_back(latest);
        sleptUntil.push_back(reading);
        const std::size_t i = std::min(sleptUntil.size(), oversleeps.size());
        const std::int64_t late = i == 0 ? 0 : oversleeps[i - 1];
        now = std::max(now, reading + static_cast<std::uint64_t>(late));
    }
    bool ask() {
        askedAt.push_back(latest);
        return static_cast<int>(askedAt.size()) == stopAtQuestion;
    }
    timing::DeadlineWaitEnd waitUntil(double deadlineMs, std::uint64_t margin, std::uint64_t frequency = kTenMHz) {
        return timing::waitUntilOn(
            deadlineMs, margin, [this] { return read(); }, [=] { return frequency; },
            [this](std::uint64_t reading) { sleep(reading); }, [this] { return ask(); });
    }
};

constexpr std::uint64_t kStart = 1000000000;  // 100 s at 10 MHz
double ms(std::uint64_t reading) { return at(reading, kTenMHz); }

struct PastCase {
    const char* name;
    double deadlineMs;
};

TEST(DeadlineWait, RefusedOrPastDeadlinesReturnAtOnce) {
    const PastCase refused[] = {{"nan", std::nan("")}, {"inf", kInf}, {"minus_inf", -kInf}, {"1e300", 1e300}};
    for (const PastCase& c : refused) {
        SCOPED_TRACE(c.name);
        Machine machine{kStart};
        const timing::DeadlineWaitEnd ended = machine.waitUntil(c.deadlineMs, 777);
        EXPECT_EQ(ended.wait.outcome, WaitOutcome::noDeadline);
        EXPECT_EQ(ended.margin, 777u);
        EXPECT_EQ(machine.reads, 0u) << "read the counter for a deadline it cannot have";
        EXPECT_TRUE(machine.sleptUntil.empty() && machine.askedAt.empty());
    }
    const PastCase past[] = {{"now", ms(kStart)}, {"a_tick_ago", ms(kStart - 1)}, {"origin", 0}, {"negative", -10}};
    for (const PastCase& c : past) {
        SCOPED_TRACE(c.name);
        Machine machine{kStart};
        const timing::DeadlineWaitEnd ended = machine.waitUntil(c.deadlineMs, 777);
        EXPECT_EQ(ended.wait.outcome, WaitOutcome::reached);
        EXPECT_EQ(ended.wait.end, kStart);  // the present, read once
        EXPECT_EQ(ended.margin, 777u);
        EXPECT_EQ(machine.reads, 1u);
        EXPECT_TRUE(machine.sleptUntil.empty() && machine.askedAt.empty());
    }
}

struct WaitCase {
    const char* name;
    std::uint64_t ahead, margin, step;  // ticks at 10 MHz
    std::vector<std::int64_t> oversleeps;
    std::size_t sleeps;
    bool late;  // woke past the deadline: ends there
};

TEST(DeadlineWait, SleepsShortOfTheDeadlineThenSpinsToIt) {
    const std::uint64_t m = 500 * kUs;
    const WaitCase cases[] = {
        {"within_the_margin_only_spins", 400 * kUs, m, 7, {}, 0, false},
        // A sleep of less than 1 ms is not worth its risk of a late wakeup.
        {"a_tick_short_of_margin_and_1_ms_only_spins", m + 1000 * kUs - 1, m, 1, {}, 0, false},
        {"margin_and_1_ms_sleeps_once", m + 1000 * kUs, m, 1, {}, 1, false},
        {"on_time_wakeups_8_ms_at_most", 100000 * kUs, m, 3, {}, 13, false},
        {"nothing_learned_yet_sleeps_to_2_ms_before", 4000 * kUs, 0, 3, {}, 1, false},
        {"late_wakeups_within_the_margin", 10000 * kUs, m, 3, {300 * kUs}, 2, false},
        {"early_wakeups_sleep_again", 10000 * kUs, m, 3, {4000 * kEarlyUs, 4000 * kEarlyUs, 0}, 3, false},
        {"woken_past_the_deadline", 10000 * kUs, m, 3, {0, 6000 * kUs}, 2, true},
        {"slow_counter", 10000 * kUs, m, 2000 * kUs, {}, 2, false},
    };
    for (const WaitCase& c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine{kStart, c.step, c.oversleeps};
        const std::uint64_t deadline = kStart + c.ahead;
        const timing::DeadlineWaitEnd ended = machine.waitUntil(ms(deadline), c.margin);
        EXPECT_EQ(ended.wait.outcome, WaitOutcome::reached);
        EXPECT_EQ(ended.wait.frequency, kTenMHz);
        EXPECT_GE(ended.wait.end, deadline);
        if (c.late) {
            EXPECT_GT(ended.wait.end, deadline + c.step) << "spun after waking past the deadline";
        } else {
            EXPECT_LT(ended.wait.end, deadline + c.step) << "not the first reading at or past the deadline";
        }
        EXPECT_EQ(machine.sleptUntil.size(), c.sleeps);
        // No sleep longer than 8 ms or shorter than 1 ms; the first ends no
        // later than the margin given before the deadline, none within 50 us
        // of it.
        for (std::size_t i = 0; i < machine.sleptUntil.size(); ++i) {
            EXPECT_LE(machine.sleptUntil[i] - machine.sleptFrom[i], 8000 * kUs) << "sleep " << i;
            EXPECT_GE(machine.sleptUntil[i] - machine.sleptFrom[i], 1000 * kUs) << "sleep " << i;
            EXPECT_LE(machine.sleptUntil[i], deadline - 50 * kUs) << "sleep " << i;
        }
        if (!machine.sleptUntil.empty()) {
            EXPECT_LE(machine.sleptUntil[0], deadline - timing::usableMargin(c.margin, kTenMHz));
        }
        // Asked before each sleep, and not in the spin's last millisecond.
        EXPECT_GE(machine.askedAt.size(), machine.sleptUntil.size());
        for (std::uint64_t asked : machine.askedAt) EXPECT_LT(asked, deadline);
    }
}

TEST(DeadlineWait, MarginLearnedFromTheWakeups) {
    // On time: down a 32nd of the way to 50 us at each of the 13 wakeups.
    Machine prompt{kStart, 3};
    std::uint64_t expected = 500 * kUs;
    const timing::DeadlineWaitEnd quiet = prompt.waitUntil(ms(kStart + 100000 * kUs), expected);
    for (std::size_t i = 0; i < prompt.sleptUntil.size(); ++i) expected = timing::nextMargin(expected, 0, kTenMHz);
    EXPECT_EQ(prompt.sleptUntil.size(), 13u);
    EXPECT_EQ(quiet.margin, expected);
    EXPECT_LT(quiet.margin, 500 * kUs);
    // A wakeup 3 ms late: 3.8 ms at once (1.25 x + 50 us), so the next sleep
    // ends that far short of the deadline.
    Machine late{kStart, 1, {0, 3000 * kUs, 0}};
    const timing::DeadlineWaitEnd slow = late.waitUntil(ms(kStart + 30000 * kUs), 500 * kUs);
    ASSERT_GE(late.sleptUntil.size(), 3u);
    EXPECT_GE(kStart + 30000 * kUs - late.sleptUntil.back(), 3700 * kUs);
    EXPECT_GE(slow.margin, 3000 * kUs);
    // An early wakeup teaches nothing; the on-time one after it does.
    Machine early{kStart, 1, {100 * kEarlyUs, 0}};
    EXPECT_EQ(early.waitUntil(ms(kStart + 10000 * kUs), 500 * kUs).margin, timing::nextMargin(500 * kUs, 0, kTenMHz));
    EXPECT_EQ(early.sleptUntil.size(), 2u);
}

struct InterruptCase {
    const char* name;
    std::uint64_t ahead, margin;
    int stopAtQuestion;
    std::size_t sleeps;  // before the question that stopped it
};

TEST(DeadlineWait, AnInterruptEndsItWhileSleepingOrSpinning) {
    const InterruptCase cases[] = {
        {"pending_before_the_wait", 100000 * kUs, 500 * kUs, 1, 0},
        {"while_sleeping", 100000 * kUs, 500 * kUs, 4, 3},
        // A 20 ms margin: the spin asks once a millisecond, as espera does.
        {"while_spinning", 30000 * kUs, 20000 * kUs, 5, 2},
    };
    for (const InterruptCase& c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine{kStart, 7, {}, c.stopAtQuestion};
        const timing::DeadlineWaitEnd ended = machine.waitUntil(ms(kStart + c.ahead), c.margin);
        EXPECT_EQ(ended.wait.outcome, WaitOutcome::interrupted);
        ASSERT_EQ(machine.askedAt.size(), static_cast<std::size_t>(c.stopAtQuestion));
        EXPECT_EQ(ended.wait.end, machine.askedAt.back());
        EXPECT_EQ(machine.sleptUntil.size(), c.sleeps) << "slept after the request";
        EXPECT_EQ(machine.latest, ended.wait.end) << "read on after the request";
    }
}

// The platform's sleeper, on the counter the extensions read.
TEST(DeadlineWait, PlatformSleeperWakesAtOrAfterTheReading) {
    const std::uint64_t frequency = timing::readFrequency();
    const timing::Sleeper sleeper = timing::openSleeper();
    for (double seconds : {0.0001, 0.002, 0.008}) {
        const std::uint64_t target = timing::readCounter() + static_cast<std::uint64_t>(seconds * double(frequency));
        timing::sleepUntil(sleeper, target);
        EXPECT_GE(timing::readCounter(), target) << seconds << " s";
    }
    timing::closeSleeper(sleeper);
}

#if defined(__linux__)
// The host's thread gets its timer slack back.
TEST(DeadlineWait, LinuxTimerSlackLoweredWhileSleepingThenRestored) {
    for (unsigned long slack : {50000UL, 200UL, 1UL}) {
        SCOPED_TRACE(slack);
        prctl(PR_SET_TIMERSLACK, slack, 0UL, 0UL, 0UL);
        const timing::Sleeper sleeper = timing::openSleeper();
        EXPECT_EQ(prctl(PR_GET_TIMERSLACK, 0UL, 0UL, 0UL, 0UL), 1);
        timing::closeSleeper(sleeper);
        EXPECT_EQ(prctl(PR_GET_TIMERSLACK, 0UL, 0UL, 0UL, 0UL), static_cast<int>(slack));
    }
    prctl(PR_SET_TIMERSLACK, 0UL, 0UL, 0UL, 0UL);  // the default again
}
#endif

}  // namespace
