// lateness OUT_DIR [SCALE]
//
// How late waits end past their deadline on Linux: espera's busy wait next to
// the ways of sleeping, all on CLOCK_MONOTONIC, the counter espera reads. For
// each duration every way of waiting takes its turn in each round, so that a
// burst of load elsewhere on the machine falls on all of them alike. A wait
// during which the scheduler took the processor away is marked: it tells
// lateness the wait caused from lateness the machine's load caused.
//
// Measures only; bench/summarise.m reckons the figures. Writes to OUT_DIR:
// samples_linux.csv, every wait (platform,wait,duration_ms,lateness_us,switched);
// counter_linux.csv, the counter's ticks a second, one read's cost and how long
// it was read back to back for the gaps; gaps_linux.csv, those gaps (see
// collectGaps). SCALE multiplies the number of waits (default 1).
#include <errno.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "timing/clock.hpp"
#include "timing/spin_wait.hpp"

namespace {

const char* const kLabel = "linux";

struct Duration {
    double ms;
    int waits;  // at SCALE 1: about 1 to 3 seconds of waiting per way
};
const Duration kDurations[] = {{0.1, 10000}, {1, 2000}, {5, 500}, {20, 150}};

// ms milliseconds in ticks, as the busy wait counts them: (ms * 0.001) *
// frequency, truncated toward zero.
std::int64_t ticksFor(double ms, std::uint64_t frequency) {
    return static_cast<std::int64_t>((ms * 0.001) * timing::u64ToDouble(frequency));
}

// espera's own wait, on the platform counter. The first reading it takes is
// its start, which the deadline counts from; it is kept on the way through.
std::int64_t lateEspera(double ms) {
    std::uint64_t start = 0;
    bool first = true;
    const auto read = [&] {
        const std::uint64_t now = timing::readCounter();
        if (first) {
            first = false;
            start = now;
        }
        return now;
    };
    // A session nobody interrupts: the wait asks, and is never asked to stop.
    const timing::WaitEnd wait = timing::spinWaitOn(ms, read, timing::readFrequency, [] { return false; });
    return static_cast<std::int64_t>(wait.end - (start + ticksFor(ms, wait.frequency)));
}

// The counter is CLOCK_MONOTONIC in nanoseconds, so a deadline on the counter
// is one clock_nanosleep understands. A signal does not cut the sleep short.
void sleepUntil(std::uint64_t ns) {
    timespec at;
    at.tv_sec = static_cast<time_t>(ns / 1000000000u);
    at.tv_nsec = static_cast<long>(ns % 1000000000u);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

std::int64_t lateSleepFor(double ms) {
    const std::uint64_t deadline = timing::readCounter() + ticksFor(ms, timing::readFrequency());
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms));
    return static_cast<std::int64_t>(timing::readCounter() - deadline);
}

std::int64_t lateAbsoluteSleep(double ms) {
    const std::uint64_t deadline = timing::readCounter() + ticksFor(ms, timing::readFrequency());
    sleepUntil(deadline);
    return static_cast<std::int64_t>(timing::readCounter() - deadline);
}

// Sleeps until this long before the deadline, then spins the rest: more than
// the usual wake-up delay of an idle machine (timer slack 50 us).
constexpr std::uint64_t kHybridMarginNs = 200000;

std::int64_t lateHybrid(double ms) {
    const std::uint64_t start = timing::readCounter();
    const std::uint64_t deadline = start + ticksFor(ms, timing::readFrequency());
    if (deadline - start > kHybridMarginNs) sleepUntil(deadline - kHybridMarginNs);
    std::uint64_t now;
    do {
        now = timing::readCounter();
    } while (now < deadline);
    return static_cast<std::int64_t>(now - deadline);
}

// The ways of waiting compared: each sets a deadline on the counter, waits
// for it and returns how late it ended, in ticks. The reading that ends a
// sleep is taken right after the sleep returns.
struct Wait {
    const char* name;
    std::int64_t (*lateTicks)(double ms);
};
const Wait kWaits[] = {
    {"espera (busy wait)", lateEspera},
    {"sleep_for", lateSleepFor},
    {"clock_nanosleep abs", lateAbsoluteSleep},
    {"sleep+spin 0.2ms", lateHybrid},
};

// How many times the scheduler has taken the processor from this thread.
long involuntarySwitches() {
    rusage usage;
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nivcsw;
}

// Nanoseconds per counter read: the median over batches of back-to-back reads.
double counterReadNs() {
    constexpr int kBatches = 201, kReads = 1000;
    std::vector<double> perRead;
    for (int b = 0; b < kBatches; ++b) {
        const std::uint64_t first = timing::readCounter();
        std::uint64_t last = first;
        for (int i = 1; i < kReads; ++i) last = timing::readCounter();
        perRead.push_back(static_cast<double>(last - first) / (kReads - 1));
    }
    std::sort(perRead.begin(), perRead.end());
    return perRead[kBatches / 2] * 1e9 / static_cast<double>(timing::readFrequency());
}

// What the machine takes from a busy wait: reads the counter back to back for
// the given time and keeps every gap between successive readings longer than
// 1 us (an interrupt, the scheduler, the hypervisor), in microseconds. A wait
// whose deadline falls inside a gap of g ends up to g late.
struct Gaps {
    std::vector<double> us;
    double spanUs;
};

void collectGaps(Gaps& gaps, double seconds) {
    const std::uint64_t frequency = timing::readFrequency();
    const double usPerTick = 1e6 / timing::u64ToDouble(frequency);
    const std::uint64_t threshold = std::max<std::uint64_t>(2, frequency / 1000000);
    const std::uint64_t start = timing::readCounter();
    const std::uint64_t stop = start + static_cast<std::uint64_t>(seconds * timing::u64ToDouble(frequency));
    std::uint64_t previous = start, now;
    do {
        now = timing::readCounter();
        if (now - previous > threshold) gaps.us.push_back(static_cast<double>(now - previous) * usPerTick);
        previous = now;
    } while (now < stop);
    gaps.spanUs += static_cast<double>(now - start) * usPerTick;
}

FILE* openOrDie(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        std::fprintf(stderr, "lateness: cannot write %s\n", path.c_str());
        std::exit(1);
    }
    return file;
}

int measure(const std::string& outDir, double scale) {
    const std::uint64_t frequency = timing::readFrequency();
    const double readNs = counterReadNs();
    const double usPerTick = 1e6 / timing::u64ToDouble(frequency);
    Gaps gaps{{}, 0.0};
    collectGaps(gaps, 1.0);
    std::printf("lateness: %s waits, %llu counter ticks/s\n", kLabel, static_cast<unsigned long long>(frequency));
    FILE* samples = openOrDie(outDir + "/samples_" + kLabel + ".csv");
    std::fprintf(samples, "platform,wait,duration_ms,lateness_us,switched\n");
    for (const Duration& duration : kDurations) {
        const int rounds = std::max(1, static_cast<int>(duration.waits * scale));
        std::vector<std::vector<std::pair<double, bool>>> late(std::size(kWaits));
        for (const Wait& wait : kWaits) wait.lateTicks(duration.ms);  // warm up: pages, caches
        for (int round = 0; round < rounds; ++round) {
            for (std::size_t w = 0; w < std::size(kWaits); ++w) {
                const long before = involuntarySwitches();
                const double us = static_cast<double>(kWaits[w].lateTicks(duration.ms)) * usPerTick;
                late[w].emplace_back(us, involuntarySwitches() != before);
            }
        }
        for (std::size_t w = 0; w < std::size(kWaits); ++w) {
            for (const auto& [us, switched] : late[w])
                std::fprintf(samples, "%s,%s,%g,%.4f,%d\n", kLabel, kWaits[w].name, duration.ms, us, switched);
        }
    }
    std::fclose(samples);

    // Gaps before and after the waits, pooled: what a busy wait's tail can
    // be at best on this machine while it was this busy.
    collectGaps(gaps, 1.0);
    FILE* counter = openOrDie(outDir + "/counter_" + kLabel + ".csv");
    std::fprintf(counter, "ticks_per_s,read_ns,gaps_read_s\n%llu,%.3f,%.4f\n",
                 static_cast<unsigned long long>(frequency), readNs, gaps.spanUs * 1e-6);
    std::fclose(counter);
    FILE* gapsCsv = openOrDie(outDir + "/gaps_" + kLabel + ".csv");
    std::fprintf(gapsCsv, "gap_us\n");
    for (double g : gaps.us) std::fprintf(gapsCsv, "%.4f\n", g);
    std::fclose(gapsCsv);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: lateness OUT_DIR [SCALE]\n");
        return 2;
    }
    return measure(argv[1], argc > 2 ? std::atof(argv[2]) : 1.0);
}
