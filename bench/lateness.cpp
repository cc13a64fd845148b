// lateness LABEL ESPERA_EXTENSION OUT_DIR [SCALE]
//
// How late waits end past their deadline, for espera's busy wait and for the
// platform's ways of sleeping, all on the counter espera reads. For each
// duration every way of waiting takes its turn in each round, so that a burst
// of load elsewhere on the machine falls on all of them alike.
//
// Where the platform counts them, a wait during which the scheduler took the
// processor away is marked: the column "switched" gives their share, which
// tells lateness the wait caused from lateness the machine's load caused.
//
// Prints a table (microseconds) and writes OUT_DIR/lateness_LABEL.csv (the
// percentiles), OUT_DIR/exceedance_LABEL.csv (for each lateness, the share
// of waits that ended at least that late: the plot's curves) and
// OUT_DIR/gaps_LABEL.csv (the gaps in reading the counter, see collectGaps).
// SCALE multiplies the number of waits (default 1).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "loader.hpp"
#include "timing/spin_wait.hpp"
#include "waits.hpp"

namespace bench {

std::int64_t ticksFor(double ms, std::uint64_t frequency) {
    return static_cast<std::int64_t>((ms * 0.001) * timing::u64ToDouble(frequency));
}

std::uint64_t spinUntil(std::uint64_t deadline) {
    std::uint64_t now;
    do {
        now = timing::readCounter();
    } while (now < deadline);
    return now;
}

namespace {

struct Duration {
    double ms;
    int waits;  // at SCALE 1: about 1 to 3 seconds of waiting per way
};
const Duration kDurations[] = {{0.1, 10000}, {1, 2000}, {5, 500}, {20, 150}};

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

// The deliverable itself, called through the host's loader: the deadline is
// counted from the caller's reading just before the call, so this lateness
// includes the call's own cost (the host creating the result, the checks).
// The end reading comes back as counter milliseconds and is turned back into
// ticks, exactly for any reading below 2^53.
Wait esperaThroughHost(const host::Extension& extension, const std::string& name) {
    return {name, [&extension](double ms) {
                const std::uint64_t frequency = timing::readFrequency();
                mxArray* input = host::makeDoubles({ms});
                const std::vector<const mxArray*> inputs = {input};
                const std::uint64_t deadline = timing::readCounter() + ticksFor(ms, frequency);
                const host::Outcome outcome = host::callExtension(extension, 1, inputs);
                standinDestroyArray(input);
                if (!outcome.value) {
                    std::fprintf(stderr, "lateness: espera failed: %s\n", outcome.error.c_str());
                    std::exit(1);
                }
                const double end = std::nearbyint(*outcome.value / 1000.0 * timing::u64ToDouble(frequency));
                return static_cast<std::int64_t>(static_cast<std::uint64_t>(end) - deadline);
            }};
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

// The lateness that deadlines at random moments exceed with the given share:
// a deadline is more than x late when it falls in the part of a gap that
// lies more than x before the gap's end. Found by bisection.
double lateBeyondGaps(const Gaps& gaps, double share) {
    double low = 0.0, high = 0.0;
    for (double g : gaps.us) high = std::max(high, g);
    for (int i = 0; i < 60; ++i) {
        const double x = (low + high) / 2;
        double beyond = 0.0;
        for (double g : gaps.us) beyond += std::max(0.0, g - x);
        (beyond > share * gaps.spanUs ? low : high) = x;
    }
    return high;
}

// Nearest rank: the smallest sample with at least share p of all samples at
// or below it.
double percentile(const std::vector<double>& sorted, double p) {
    const std::size_t rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(sorted.size())));
    return sorted[std::max<std::size_t>(rank, 1) - 1];
}

FILE* openOrDie(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        std::fprintf(stderr, "lateness: cannot write %s\n", path.c_str());
        std::exit(1);
    }
    return file;
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
    using namespace bench;
    if (argc < 4) {
        std::fprintf(stderr, "usage: lateness LABEL ESPERA_EXTENSION OUT_DIR [SCALE]\n");
        return 2;
    }
    const std::string label = argv[1], outDir = argv[3];
    const double scale = argc > 4 ? std::atof(argv[4]) : 1.0;

    std::string why;
    const std::optional<host::Extension> espera = host::loadExtension(argv[2], why);
    if (!espera) {
        std::fprintf(stderr, "lateness: %s\n", why.c_str());
        return 1;
    }
    const std::string file = std::string(argv[2]).substr(std::string(argv[2]).find_last_of("/\\") + 1);
    std::vector<Wait> waits = {{"espera (busy wait)", lateEspera}, esperaThroughHost(*espera, file + " via host")};
    for (Wait& wait : sleepingWaits()) waits.push_back(wait);

    const std::uint64_t frequency = timing::readFrequency();
    const double readNs = counterReadNs();
    const double usPerTick = 1e6 / timing::u64ToDouble(frequency);
    Gaps gaps{{}, 0.0};
    collectGaps(gaps, 1.0);
    std::printf("\nLateness past the deadline, %s: %s at %llu ticks/s, one read %.1f ns. Microseconds.\n",
                label.c_str(), counterName().c_str(), static_cast<unsigned long long>(frequency), readNs);
    std::printf("%-24s %6s %6s %10s %10s %10s %10s %10s %9s\n", "wait", "ms", "waits", "p50", "p90", "p99", "p99.9",
                "max", "switched");

    FILE* csv = openOrDie(outDir + "/lateness_" + label + ".csv");
    FILE* curves = openOrDie(outDir + "/exceedance_" + label + ".csv");
    std::fprintf(csv, "platform,wait,duration_ms,waits,p50_us,p90_us,p99_us,p99_9_us,max_us,read_ns,tick_ns,switched_pct\n");
    std::fprintf(curves, "platform,wait,duration_ms,lateness_us,share_at_least\n");

    for (const Duration& duration : kDurations) {
        const int rounds = std::max(1, static_cast<int>(duration.waits * scale));
        std::vector<std::vector<double>> late(waits.size());
        std::vector<int> switched(waits.size(), 0);
        for (const Wait& wait : waits) wait.lateTicks(duration.ms);  // warm up: pages, caches, the loader
        for (int round = 0; round < rounds; ++round) {
            for (std::size_t w = 0; w < waits.size(); ++w) {
                const long before = involuntarySwitches();
                late[w].push_back(static_cast<double>(waits[w].lateTicks(duration.ms)) * usPerTick);
                if (involuntarySwitches() != before) ++switched[w];
            }
        }
        const bool counted = involuntarySwitches() >= 0;
        for (std::size_t w = 0; w < waits.size(); ++w) {
            std::vector<double>& sorted = late[w];
            std::sort(sorted.begin(), sorted.end());
            const double p[] = {percentile(sorted, 0.5), percentile(sorted, 0.9), percentile(sorted, 0.99),
                                percentile(sorted, 0.999), sorted.back()};
            const double switchedPct = 100.0 * switched[w] / rounds;
            char switchedText[16] = "-";
            if (counted) std::snprintf(switchedText, sizeof switchedText, "%.1f%%", switchedPct);
            std::printf("%-24s %6g %6d %10.3f %10.3f %10.3f %10.3f %10.3f %9s\n", waits[w].name.c_str(), duration.ms,
                        rounds, p[0], p[1], p[2], p[3], p[4], switchedText);
            std::fprintf(csv, "%s,%s,%g,%d,%.4f,%.4f,%.4f,%.4f,%.4f,%.2f,%g,", label.c_str(), waits[w].name.c_str(),
                         duration.ms, rounds, p[0], p[1], p[2], p[3], p[4], readNs, usPerTick * 1000);
            if (counted) std::fprintf(csv, "%.2f", switchedPct);
            std::fprintf(csv, "\n");
            // The curve: every distinct lateness with the share of waits at
            // least that late, thinned where it is dense but whole in the tail.
            const std::size_t n = sorted.size(), step = n / 1000 + 1;
            for (std::size_t i = 0, next = 0; i < n; ++i) {
                const bool distinct = i == 0 || sorted[i] != sorted[i - 1];
                if (distinct && (n - i <= 1000 || i >= next)) {
                    std::fprintf(curves, "%s,%s,%g,%.4f,%.6g\n", label.c_str(), waits[w].name.c_str(), duration.ms,
                                 sorted[i], static_cast<double>(n - i) / static_cast<double>(n));
                    next = i + step;
                }
            }
        }
    }
    std::fclose(csv);
    std::fclose(curves);

    // Gaps before and after the waits, pooled: what a busy wait's tail can
    // be at best on this machine while it was this busy.
    collectGaps(gaps, 1.0);
    double longest = 0.0, inGaps = 0.0;
    for (double g : gaps.us) {
        longest = std::max(longest, g);
        inGaps += g;
    }
    const double p99 = lateBeyondGaps(gaps, 0.01), p999 = lateBeyondGaps(gaps, 0.001);
    std::printf("Counter gaps over 1 us in %.1f s of back-to-back reads: %zu (%.1f per second), %.2f%% of the time, "
                "longest %.1f us.\nA deadline at a random moment ends later than %.3f us 1%% of the time, "
                "%.3f us 0.1%% of the time.\n",
                gaps.spanUs * 1e-6, gaps.us.size(), gaps.us.size() / (gaps.spanUs * 1e-6), 100 * inGaps / gaps.spanUs,
                longest, p99, p999);
    FILE* gapsCsv = openOrDie(outDir + "/gaps_" + label + ".csv");
    std::fprintf(gapsCsv, "platform,seconds,gaps_over_1us,time_in_gaps_pct,longest_us,p99_us,p99_9_us\n");
    std::fprintf(gapsCsv, "%s,%.3f,%zu,%.4f,%.3f,%.4f,%.4f\n", label.c_str(), gaps.spanUs * 1e-6, gaps.us.size(),
                 100 * inGaps / gaps.spanUs, longest, p99, p999);
    std::fclose(gapsCsv);
    host::unloadExtension(*espera);
    return 0;
}
