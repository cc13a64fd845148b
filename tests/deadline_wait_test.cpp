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
constexpr double kFineCeiling = 0.001;       // a high-resolution timer's, s
constexpr double kCoarseCeiling = 0.016625;  // an ordinary Windows timer's at its 15.625 ms tick, s

// Wakeups, as runs of `count` wakeups each `us` microseconds late.
struct Run {
    int count;
    double us;
};

// What a memory (the window, or the raised one) holds after the wakeups, each
// taken in by `after` (afterWakeup, afterRaisedWakeup), from nothing learned.
template <class Memory>
Memory learnedFrom(const std::vector<Run>& runs, Memory (*after)(Memory, std::uint64_t, std::uint64_t)) {
    Memory memory{};
    for (const Run& run : runs) {
        for (int i = 0; i < run.count; ++i) {
            memory = after(memory, run.us < 0 ? kMax : static_cast<std::uint64_t>(run.us * kUs), kTenMHz);
        }
    }
    return memory;
}

struct MarginCase {
    const char* name;
    std::vector<Run> wakeups;  // from nothing learned; us < 0: as late as a counter can say
    double ceiling;
    std::uint64_t margin;        // ticks at 10 MHz, from the window: the thread at ordinary priority
    std::uint64_t raisedMargin;  // the same wakeups, all while raised, from the raised memory
};

TEST(DeadlineWait, MarginCoversTheLatestWakeupOrRaisedTheRecurringOneUpToTheCeiling) {
    const MarginCase cases[] = {
        // Until 16 wakeups have been seen, the ceiling; raised, only until
        // the first, and then the latest of the first block of 128.
        {"nothing_seen", {}, kFineCeiling, 1000 * kUs, 1000 * kUs},
        {"fewer_than_a_block", {{15, 10}}, kFineCeiling, 1000 * kUs, 60 * kUs},
        // Then the lateness covered + 50 us: 1.25 x the window's largest;
        // raised, once a block has been seen, the larger of the two blocks'
        // second latest.
        {"a_block_of_prompt_wakeups", {{16, 80}}, kFineCeiling, 150 * kUs, 130 * kUs},
        {"on_time_is_the_least", {{16, 0}}, kFineCeiling, 50 * kUs, 50 * kUs},
        {"a_tick_late_counts_as_a_microsecond", {{16, 0.1}}, kFineCeiling, 51 * kUs + 2, 51 * kUs},
        {"the_largest_sets_it", {{16, 80}, {1, 400}, {1, 900}, {1, 300}}, kFineCeiling, 1000 * kUs, 950 * kUs},
        {"the_largest_sets_it_raised_after_a_block_the_second", {{128, 80}, {1, 400}, {1, 900}, {1, 300}},
         kFineCeiling, 1000 * kUs, 450 * kUs},
        // A wakeup later than the timer allows never lifts it past the ceiling.
        {"late_wakeup_stops_at_the_ceiling", {{16, 80}, {2, 5000}}, kFineCeiling, 1000 * kUs, 1000 * kUs},
        {"under_the_ceiling_is_kept", {{16, 700}}, kFineCeiling, 925 * kUs, 750 * kUs},
        {"as_late_as_can_be", {{16, 80}, {2, -1}}, kFineCeiling, 1000 * kUs, 1000 * kUs},
        // A late wakeup is held for the next 16 wakeups at least...
        {"late_last_of_its_block_then_16_prompt", {{15, 80}, {1, 900}, {16, 80}}, kFineCeiling, 1000 * kUs,
         950 * kUs},
        {"late_first_of_a_block_then_31_prompt", {{16, 80}, {1, 900}, {31, 80}}, kFineCeiling, 1000 * kUs,
         950 * kUs},
        // ...and prompt wakeups bring it down within 32.
        {"late_last_of_its_block_then_17_prompt", {{15, 80}, {1, 900}, {17, 80}}, kFineCeiling, 150 * kUs,
         950 * kUs},
        {"late_first_of_a_block_then_32_prompt", {{16, 80}, {1, 900}, {32, 80}}, kFineCeiling, 150 * kUs, 950 * kUs},
        // Raised, after the first block a lone one is passed over: most
        // often longer than any margin would cover...
        {"a_block_then_a_lone_late_one", {{128, 80}, {1, 900}, {20, 80}}, kFineCeiling, 1000 * kUs, 130 * kUs},
        // ...and one that recurs within a block of 128 is held for the next
        // 128 wakeups at least...
        {"two_late_last_of_their_block_then_128_prompt", {{126, 80}, {2, 600}, {128, 80}}, kFineCeiling, 150 * kUs,
         650 * kUs},
        {"two_late_first_of_a_block_then_254_prompt", {{128, 80}, {2, 600}, {254, 80}}, kFineCeiling, 150 * kUs,
         650 * kUs},
        // ...and let go once the block after theirs has ended: within 255.
        {"two_late_last_of_their_block_then_129_prompt", {{126, 80}, {2, 600}, {129, 80}}, kFineCeiling, 150 * kUs,
         130 * kUs},
        {"two_late_first_of_a_block_then_255_prompt", {{128, 80}, {2, 600}, {255, 80}}, kFineCeiling, 150 * kUs,
         130 * kUs},
        // Counted in blocks: one late wakeup in each of two is passed over.
        {"late_last_of_a_block_and_first_of_the_next", {{127, 80}, {2, 600}, {20, 80}}, kFineCeiling, 800 * kUs,
         130 * kUs},
        // An ordinary timer wakes on a tick of up to 15.6 ms: its ceiling
        // covers the tick, and a shorter tick is learned within it.
        {"coarse_nothing_seen", {}, kCoarseCeiling, 16625 * kUs, 16625 * kUs},
        {"coarse_tick_late", {{16, 15000}}, kCoarseCeiling, 16625 * kUs, 15050 * kUs},
        {"coarse_wakeups_on_a_1_ms_tick", {{16, 1000}}, kCoarseCeiling, 1300 * kUs, 1050 * kUs},
        {"coarse_late_ones_within_the_ceiling", {{128, 80}, {2, 16000}, {40, 80}}, kCoarseCeiling, 150 * kUs,
         16050 * kUs},
        {"coarse_late_ones_stop_at_the_ceiling", {{128, 80}, {2, 17000}, {40, 80}}, kCoarseCeiling, 150 * kUs,
         16625 * kUs},
        // A ceiling below the least margin gives the least margin.
        {"ceiling_below_the_least", {}, 10e-6, 50 * kUs, 50 * kUs},
    };
    for (const MarginCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::uint64_t ceiling = timing::marginTicks(c.ceiling, kTenMHz);
        const timing::WakeupWindow window = learnedFrom(c.wakeups, timing::afterWakeup);
        const timing::RaisedWakeups raised = learnedFrom(c.wakeups, timing::afterRaisedWakeup);
        EXPECT_EQ(timing::marginFrom(window, ceiling, kTenMHz), c.margin);
        EXPECT_EQ(timing::raisedMarginFrom(raised, ceiling, kTenMHz), c.raisedMargin);
    }
}

// hasta keeps the window and the raised memory in a 64-bit atomic each:
// every field comes back whole.
TEST(DeadlineWait, WindowAndRaisedMemoryPackIntoOneWordEach) {
    const timing::WakeupWindow windows[] = {{}, {65535, 1, 16, 1}, {1, 65535, 65535, 65535}, {300, 7, 0, 1}};
    for (const timing::WakeupWindow& window : windows) {
        const timing::WakeupWindow back = timing::unpacked(timing::packed(window));
        EXPECT_TRUE(back.currentUs == window.currentUs && back.previousUs == window.previousUs &&
                    back.seen == window.seen && back.blocks == window.blocks)
            << window.currentUs << " " << window.previousUs << " " << window.seen << " " << window.blocks;
    }
    const timing::RaisedWakeups raised[] = {{}, {65535, 1, 2, 128, 1}, {1, 65535, 65535, 255, 255}, {300, 7, 9, 0, 1}};
    for (const timing::RaisedWakeups& memory : raised) {
        const timing::RaisedWakeups back = timing::unpackedRaised(timing::packed(memory));
        EXPECT_TRUE(back.latestUs == memory.latestUs && back.secondUs == memory.secondUs &&
                    back.previousSecondUs == memory.previousSecondUs && back.seen == memory.seen &&
                    back.blocks == memory.blocks)
            << memory.latestUs << " " << memory.secondUs << " " << memory.previousSecondUs << " " << int{memory.seen};
    }
    // What hasta starts from.
    EXPECT_EQ(timing::packed(timing::WakeupWindow{}), 0u);
    EXPECT_EQ(timing::packed(timing::RaisedWakeups{}), 0u);
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
    timing::DeadlineWaitEnd waitUntil(double deadlineMs, timing::LearnedWakeups learned, bool raised = false,
                                      double ceilingSeconds = kFineCeiling) {
        return timing::waitUntilOn(
            deadlineMs, learned, raised, ceilingSeconds, [this] { return read(); }, [] { return kTenMHz; },
            [this](std::uint64_t reading) { sleep(reading); }, [this] { return ask(); });
    }
    // At ordinary priority, from a window.
    timing::DeadlineWaitEnd waitUntil(double deadlineMs, timing::WakeupWindow window,
                                      double ceilingSeconds = kFineCeiling) {
        return waitUntil(deadlineMs, timing::LearnedWakeups{window, {}}, false, ceilingSeconds);
    }
};

constexpr std::uint64_t kStart = 1000000000;  // 100 s at 10 MHz
double ms(std::uint64_t reading) { return at(reading, kTenMHz); }

bool same(const timing::WakeupWindow& a, const timing::WakeupWindow& b) {
    return a.currentUs == b.currentUs && a.previousUs == b.previousUs && a.seen == b.seen && a.blocks == b.blocks;
}

// A window learned from wakeups `us` late: a margin of 1.25 x us + 50 us.
timing::WakeupWindow learned(std::uint16_t us) { return {us, us, 1, 1}; }
const timing::WakeupWindow kHalfMillisecond = learned(360);  // a 500 us margin

struct PastCase {
    const char* name;
    double deadlineMs;
};

TEST(DeadlineWait, RefusedOrPastDeadlinesReturnAtOnce) {
    const timing::WakeupWindow window{7, 9, 3, 1};
    const PastCase refused[] = {{"nan", std::nan("")}, {"inf", kInf}, {"minus_inf", -kInf}, {"1e300", 1e300}};
    for (const PastCase& c : refused) {
        SCOPED_TRACE(c.name);
        Machine machine{kStart};
        const timing::DeadlineWaitEnd ended = machine.waitUntil(c.deadlineMs, window);
        EXPECT_EQ(ended.wait.outcome, WaitOutcome::noDeadline);
        EXPECT_TRUE(same(ended.learned.window, window));
        EXPECT_EQ(machine.reads, 0u) << "read the counter for a deadline it cannot have";
        EXPECT_TRUE(machine.sleptUntil.empty() && machine.askedAt.empty());
    }
    const PastCase past[] = {{"now", ms(kStart)}, {"a_tick_ago", ms(kStart - 1)}, {"origin", 0}, {"negative", -10}};
    for (const PastCase& c : past) {
        SCOPED_TRACE(c.name);
        Machine machine{kStart};
        const timing::DeadlineWaitEnd ended = machine.waitUntil(c.deadlineMs, window);
        EXPECT_EQ(ended.wait.outcome, WaitOutcome::reached);
        EXPECT_EQ(ended.wait.end, kStart);  // the present, read once
        EXPECT_TRUE(same(ended.learned.window, window));
        EXPECT_EQ(machine.reads, 1u);
        EXPECT_TRUE(machine.sleptUntil.empty() && machine.askedAt.empty());
    }
}

struct WaitCase {
    const char* name;
    std::uint64_t ahead;  // ticks at 10 MHz
    timing::WakeupWindow window;
    std::uint64_t step;
    std::vector<std::int64_t> oversleeps;
    std::size_t sleeps;
    bool late;  // woke past the deadline: ends there
};

TEST(DeadlineWait, SleepsShortOfTheDeadlineThenSpinsToIt) {
    const timing::WakeupWindow m = kHalfMillisecond;
    const WaitCase cases[] = {
        {"within_the_margin_only_spins", 400 * kUs, m, 7, {}, 0, false},
        // A sleep of less than 1 ms is not worth its risk of a late wakeup.
        {"a_tick_short_of_margin_and_1_ms_only_spins", 1500 * kUs - 1, m, 1, {}, 0, false},
        {"margin_and_1_ms_sleeps_once", 1500 * kUs, m, 1, {}, 1, false},
        {"ten_ms_in_one_sleep", 10000 * kUs, m, 3, {}, 1, false},
        {"on_time_wakeups_50_ms_at_most", 200000 * kUs, m, 3, {}, 4, false},
        {"nothing_learned_yet_sleeps_to_the_ceiling", 4000 * kUs, {}, 3, {}, 1, false},
        {"late_wakeup_within_the_margin", 10000 * kUs, m, 3, {300 * kUs}, 1, false},
        {"early_wakeups_sleep_again", 10000 * kUs, m, 3, {4000 * kEarlyUs, 4000 * kEarlyUs, 0}, 3, false},
        {"woken_past_the_deadline", 10000 * kUs, m, 3, {6000 * kUs}, 1, true},
        {"slow_counter", 10000 * kUs, m, 2000 * kUs, {}, 1, false},
    };
    for (const WaitCase& c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine{kStart, c.step, c.oversleeps};
        const std::uint64_t deadline = kStart + c.ahead;
        const timing::DeadlineWaitEnd ended = machine.waitUntil(ms(deadline), c.window);
        EXPECT_EQ(ended.wait.outcome, WaitOutcome::reached);
        EXPECT_EQ(ended.wait.frequency, kTenMHz);
        EXPECT_GE(ended.wait.end, deadline);
        if (c.late) {
            EXPECT_GT(ended.wait.end, deadline + c.step) << "spun after waking past the deadline";
        } else {
            EXPECT_LT(ended.wait.end, deadline + c.step) << "not the first reading at or past the deadline";
        }
        EXPECT_EQ(machine.sleptUntil.size(), c.sleeps);
        // No sleep longer than 50 ms or shorter than 1 ms; the first ends no
        // later than the margin before the deadline, none within 50 us of it.
        for (std::size_t i = 0; i < machine.sleptUntil.size(); ++i) {
            EXPECT_LE(machine.sleptUntil[i] - machine.sleptFrom[i], 50000 * kUs) << "sleep " << i;
            EXPECT_GE(machine.sleptUntil[i] - machine.sleptFrom[i], 1000 * kUs) << "sleep " << i;
            EXPECT_LE(machine.sleptUntil[i], deadline - 50 * kUs) << "sleep " << i;
        }
        if (!machine.sleptUntil.empty()) {
            const std::uint64_t margin = timing::marginFrom(c.window, 1000 * kUs, kTenMHz);
            EXPECT_LE(machine.sleptUntil[0], deadline - margin);
            // The last sleep is the one that matters: to the margin, not short of it.
            if (c.oversleeps.empty()) {
                EXPECT_EQ(machine.sleptUntil.back(), deadline - margin);
            }
        }
        // Asked before each sleep, and not in the spin's last millisecond.
        EXPECT_GE(machine.askedAt.size(), machine.sleptUntil.size());
        for (std::uint64_t asked : machine.askedAt) EXPECT_LT(asked, deadline);
    }
}

struct LearnCase {
    const char* name;
    timing::WakeupWindow window;
    double ceiling;
    std::vector<std::int64_t> oversleeps;
    std::uint64_t lastSleepShortBy;  // ticks before the deadline the last sleep ends
};

TEST(DeadlineWait, AWakeupOnTheWayWidensTheMarginUpToTheCeiling) {
    // 150 ms ahead: sleeps of 50 ms; the second wakeup comes late.
    const LearnCase cases[] = {
        {"on_time", kHalfMillisecond, kFineCeiling, {}, 500 * kUs},
        {"within_the_ceiling", kHalfMillisecond, kFineCeiling, {0, 600 * kUs, 0}, 800 * kUs},
        {"past_the_ceiling_stops_there", kHalfMillisecond, kFineCeiling, {0, 3000 * kUs, 0}, 1000 * kUs},
        {"coarse_tick_late", kHalfMillisecond, kCoarseCeiling, {0, 15000 * kUs, 0}, 16625 * kUs},
        // Early wakeups teach nothing.
        {"early", kHalfMillisecond, kFineCeiling, {0, 3000 * kEarlyUs, 0}, 500 * kUs},
    };
    for (const LearnCase& c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine{kStart, 1, c.oversleeps};
        const std::uint64_t deadline = kStart + 150000 * kUs;
        const timing::DeadlineWaitEnd ended = machine.waitUntil(ms(deadline), c.window, c.ceiling);
        EXPECT_EQ(ended.wait.outcome, WaitOutcome::reached);
        ASSERT_GE(machine.sleptUntil.size(), 2u);
        EXPECT_EQ(deadline - machine.sleptUntil.back(), c.lastSleepShortBy);
    }
}

TEST(DeadlineWait, WindowCarriesFromWaitToWait) {
    // Each wait of 10 ms sleeps once and wakes 80 us late: the ceiling until
    // 16 wakeups have been seen, then 150 us. A 3 ms wakeup lifts it to the
    // ceiling, and 32 more prompt ones bring it back.
    timing::WakeupWindow window{};
    const auto waitAndWake = [&](std::int64_t late) {
        Machine machine{kStart, 1, {late}};
        const std::uint64_t deadline = kStart + 10000 * kUs;
        const timing::DeadlineWaitEnd ended = machine.waitUntil(ms(deadline), window);
        window = ended.learned.window;
        EXPECT_EQ(machine.sleptUntil.size(), 1u);
        return deadline - machine.sleptUntil.front();
    };
    for (int i = 0; i < 16; ++i) EXPECT_EQ(waitAndWake(80 * kUs), 1000 * kUs) << "wait " << i;
    EXPECT_EQ(waitAndWake(80 * kUs), 150 * kUs);
    EXPECT_EQ(waitAndWake(3000 * kUs), 150 * kUs);  // too late for this wait: learned for the next
    for (int i = 0; i < 16; ++i) EXPECT_EQ(waitAndWake(80 * kUs), 1000 * kUs) << "wait " << i;
    for (int i = 0; i < 32 && waitAndWake(80 * kUs) != 150 * kUs; ++i) {
        EXPECT_LT(i, 15) << "still wide after " << 17 + i << " prompt wakeups";
    }
    EXPECT_EQ(waitAndWake(80 * kUs), 150 * kUs);
}

struct PriorityCase {
    const char* name;
    bool raised;
    timing::LearnedWakeups learned;
    std::uint64_t lastSleepShortBy;  // ticks before the deadline
    bool raisedLearns;               // the wakeup goes into the raised memory too
};

TEST(DeadlineWait, RaisedTheMarginComesFromWhatWasLearnedRaised) {
    // A window learned at 500 us; a raised memory at 130 us.
    const timing::RaisedWakeups prompt = learnedFrom({{16, 80}}, timing::afterRaisedWakeup);
    const PriorityCase cases[] = {
        {"ordinary_from_the_window", false, {kHalfMillisecond, prompt}, 500 * kUs, false},
        {"raised_from_its_memory", true, {kHalfMillisecond, prompt}, 130 * kUs, true},
        // Nothing learned raised yet: the ceiling, whatever the window says.
        {"raised_at_first_the_ceiling", true, {learned(80), {}}, 1000 * kUs, true},
    };
    for (const PriorityCase& c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine{kStart, 1, {300 * kUs}};
        const std::uint64_t deadline = kStart + 10000 * kUs;
        const timing::DeadlineWaitEnd ended = machine.waitUntil(ms(deadline), c.learned, c.raised);
        EXPECT_EQ(ended.wait.outcome, WaitOutcome::reached);
        ASSERT_EQ(machine.sleptUntil.size(), 1u);
        EXPECT_EQ(deadline - machine.sleptUntil.back(), c.lastSleepShortBy);
        // Every wakeup goes into the window.
        EXPECT_EQ(ended.learned.window.seen, c.learned.window.seen + 1);
        EXPECT_EQ(ended.learned.raised.seen, c.learned.raised.seen + (c.raisedLearns ? 1 : 0));
        if (c.raisedLearns) {
            EXPECT_EQ(ended.learned.raised.latestUs, 300);
        }
    }
}

struct InterruptCase {
    const char* name;
    std::uint64_t ahead;
    timing::WakeupWindow window;
    double ceiling;
    int stopAtQuestion;
    std::size_t sleeps;  // before the question that stopped it
};

TEST(DeadlineWait, AnInterruptEndsItWhileSleepingOrSpinning) {
    const InterruptCase cases[] = {
        {"pending_before_the_wait", 200000 * kUs, kHalfMillisecond, kFineCeiling, 1, 0},
        {"while_sleeping", 200000 * kUs, kHalfMillisecond, kFineCeiling, 4, 3},
        // A coarse timer's margin: the spin asks once a millisecond, as espera does.
        {"while_spinning", 30000 * kUs, learned(15000), kCoarseCeiling, 5, 1},
    };
    for (const InterruptCase& c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine{kStart, 7, {}, c.stopAtQuestion};
        const timing::DeadlineWaitEnd ended = machine.waitUntil(ms(kStart + c.ahead), c.window, c.ceiling);
        EXPECT_EQ(ended.wait.outcome, WaitOutcome::interrupted);
        ASSERT_EQ(machine.askedAt.size(), static_cast<std::size_t>(c.stopAtQuestion));
        EXPECT_EQ(ended.wait.end, machine.askedAt.back());
        EXPECT_EQ(machine.sleptUntil.size(), c.sleeps) << "slept after the request";
        EXPECT_EQ(machine.latest, ended.wait.end) << "read on after the request";
    }
}

// Ctrl+C is seen at each wakeup: however long the wait, and however the
// wakeups come, the host is asked at least once every 50 ms of sleep and the
// wakeup's lateness.
TEST(DeadlineWait, AsksTheHostAtEveryWakeupOfALongWait) {
    const std::vector<std::int64_t> wakeups[] = {{}, {2000 * kUs}, {30000 * kEarlyUs}};
    for (const std::vector<std::int64_t>& oversleeps : wakeups) {
        Machine machine{kStart, 3, oversleeps};
        const std::uint64_t deadline = kStart + 10000000 * kUs;  // 10 s
        EXPECT_EQ(machine.waitUntil(ms(deadline), kHalfMillisecond).wait.outcome, WaitOutcome::reached);
        const std::uint64_t late = oversleeps.empty() || oversleeps[0] < 0 ? 0 : oversleeps[0];
        ASSERT_GE(machine.askedAt.size(), 190u);
        EXPECT_LE(machine.askedAt.front() - kStart, 3u);
        for (std::size_t i = 1; i < machine.askedAt.size(); ++i) {
            ASSERT_LE(machine.askedAt[i] - machine.askedAt[i - 1], 50000 * kUs + late + 6) << "question " << i;
        }
        EXPECT_LE(deadline - machine.askedAt.back(), 50000 * kUs + 1000 * kUs);
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
