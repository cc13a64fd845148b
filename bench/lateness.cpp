// lateness OUT_DIR [SCALE]
// lateness --samples NAME OUT_DIR
//
// How late waits end past their deadline on Linux: espera's busy wait next to
// the ways of sleeping, all on CLOCK_MONOTONIC, the counter espera reads. For
// each duration every way of waiting takes its turn in each round, so that a
// burst of load elsewhere on the machine falls on all of them alike. A wait
// during which the scheduler took the processor away is counted: the column
// "switched" gives their share, which tells lateness the wait caused from
// lateness the machine's load caused.
//
// Prints a table (microseconds) and writes OUT_DIR/lateness_linux.csv (the
// percentiles), OUT_DIR/exceedance_linux.csv (for each lateness, the share of
// waits that ended at least that late: the plot's curves) and
// OUT_DIR/gaps_linux.csv (the gaps in reading the counter, see collectGaps).
// SCALE multiplies the number of waits (default 1).
//
// With --samples it measures nothing: it reads OUT_DIR/samples_NAME.csv, one
// line per wait (platform,wait,duration_ms,lateness_us, after a header line),
// as the Octave benchmarks write it, and writes lateness_NAME.csv and
// exceedance_NAME.csv in the same way, so that every row of make bench's
// tables is summarised by the same code.
#include <errno.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
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
// or below it. A percentile of the tail that would leave no sample above it
// (the 99th of fewer than 100) would only repeat the worst: NaN, "-" in the
// tables.
double percentile(const std::vector<double>& sorted, double p) {
    const double n = static_cast<double>(sorted.size());
    if (p > 0.5 && n * (1 - p) < 1 - 1e-9) return NAN;
    const std::size_t rank = static_cast<std::size_t>(std::ceil(p * n));
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

// The table on the terminal and the two files: lateness_NAME.csv and
// exceedance_NAME.csv.
struct Report {
    FILE* csv;
    FILE* curves;
};

Report openReport(const std::string& name, const std::string& outDir) {
    Report report{openOrDie(outDir + "/lateness_" + name + ".csv"), openOrDie(outDir + "/exceedance_" + name + ".csv")};
    std::fprintf(report.csv, "platform,wait,duration_ms,waits,p50_us,p90_us,p99_us,p99_9_us,max_us,read_ns,"
                             "switched_pct,p95_us\n");
    std::fprintf(report.curves, "platform,wait,duration_ms,lateness_us,share_at_least\n");
    std::printf("%-24s %6s %6s %10s %10s %10s %10s %10s %9s\n", "wait", "ms", "waits", "p50", "p90", "p99", "p99.9",
                "max", "switched");
    return report;
}

// One way of waiting at one duration, its lateness in microseconds SORTED: a
// row of the table and of the CSV, and the curve. readNs and switchedPct are
// NaN where not known (left empty in the CSV).
void addRow(const Report& report, const std::string& platform, const std::string& wait, double ms,
            const std::vector<double>& sorted, double readNs, double switchedPct) {
    const double p[] = {percentile(sorted, 0.5), percentile(sorted, 0.9), percentile(sorted, 0.99),
                        percentile(sorted, 0.999), sorted.back(), percentile(sorted, 0.95)};
    char switched[16] = "-", read[16] = "", switchedCsv[16] = "";
    if (!std::isnan(switchedPct)) {
        std::snprintf(switched, sizeof switched, "%.1f%%", switchedPct);
        std::snprintf(switchedCsv, sizeof switchedCsv, "%.2f", switchedPct);
    }
    if (!std::isnan(readNs)) std::snprintf(read, sizeof read, "%.2f", readNs);
    std::printf("%-24s %6g %6zu %10.3f %10.3f %10.3f %10.3f %10.3f %9s\n", wait.c_str(), ms, sorted.size(), p[0],
                p[1], p[2], p[3], p[4], switched);
    std::fprintf(report.csv, "%s,%s,%g,%zu,%.4f,%.4f,%.4f,%.4f,%.4f,%s,%s,%.4f\n", platform.c_str(), wait.c_str(),
                 ms, sorted.size(), p[0], p[1], p[2], p[3], p[4], read, switchedCsv, p[5]);
    // The curve: every distinct lateness with the share of waits at least
    // that late, thinned where it is dense but whole in the tail.
    const std::size_t n = sorted.size(), step = n / 1000 + 1;
    for (std::size_t i = 0, next = 0; i < n; ++i) {
        const bool distinct = i == 0 || sorted[i] != sorted[i - 1];
        if (distinct && (n - i <= 1000 || i >= next)) {
            std::fprintf(report.curves, "%s,%s,%g,%.4f,%.6g\n", platform.c_str(), wait.c_str(), ms, sorted[i],
                         static_cast<double>(n - i) / static_cast<double>(n));
            next = i + step;
        }
    }
}

void closeReport(const Report& report) {
    std::fclose(report.csv);
    std::fclose(report.curves);
}

int measure(const std::string& outDir, double scale) {
    const std::uint64_t frequency = timing::readFrequency();
    const double readNs = counterReadNs();
    const double usPerTick = 1e6 / timing::u64ToDouble(frequency);
    Gaps gaps{{}, 0.0};
    collectGaps(gaps, 1.0);
    std::printf("\nLateness past the deadline, %s: CLOCK_MONOTONIC at %llu ticks/s, one read %.1f ns. "
                "Microseconds.\n",
                kLabel, static_cast<unsigned long long>(frequency), readNs);
    const Report report = openReport(kLabel, outDir);
    for (const Duration& duration : kDurations) {
        const int rounds = std::max(1, static_cast<int>(duration.waits * scale));
        std::vector<std::vector<double>> late(std::size(kWaits));
        std::vector<int> switched(std::size(kWaits), 0);
        for (const Wait& wait : kWaits) wait.lateTicks(duration.ms);  // warm up: pages, caches
        for (int round = 0; round < rounds; ++round) {
            for (std::size_t w = 0; w < std::size(kWaits); ++w) {
                const long before = involuntarySwitches();
                late[w].push_back(static_cast<double>(kWaits[w].lateTicks(duration.ms)) * usPerTick);
                if (involuntarySwitches() != before) ++switched[w];
            }
        }
        for (std::size_t w = 0; w < std::size(kWaits); ++w) {
            std::sort(late[w].begin(), late[w].end());
            addRow(report, kLabel, kWaits[w].name, duration.ms, late[w], readNs, 100.0 * switched[w] / rounds);
        }
    }
    closeReport(report);

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
    FILE* gapsCsv = openOrDie(outDir + "/gaps_" + kLabel + ".csv");
    std::fprintf(gapsCsv, "platform,seconds,gaps_over_1us,time_in_gaps_pct,longest_us,p99_us,p99_9_us\n");
    std::fprintf(gapsCsv, "%s,%.3f,%zu,%.4f,%.3f,%.4f,%.4f\n", kLabel, gaps.spanUs * 1e-6, gaps.us.size(),
                 100 * inGaps / gaps.spanUs, longest, p99, p999);
    std::fclose(gapsCsv);
    return 0;
}

// A number that fills the text from its start to its end.
bool parseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size();
}

int summariseSamples(const std::string& name, const std::string& outDir) {
    const std::string path = outDir + "/samples_" + name + ".csv";
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line)) {
        std::fprintf(stderr, "lateness: cannot read %s\n", path.c_str());
        return 1;
    }
    // Each way on each platform at each duration, in the order they first come.
    struct Series {
        std::string platform, wait;
        double ms;
        std::vector<double> lateUs;
    };
    std::vector<Series> series;
    for (int number = 2; std::getline(in, line); ++number) {
        // The wait's name may hold anything but a comma; the numbers are last.
        const std::size_t first = line.find(','), last = line.rfind(',');
        const std::size_t middle = last > first && last != std::string::npos ? line.rfind(',', last - 1) : first;
        double ms, us;
        if (middle <= first || !parseNumber(line.substr(middle + 1, last - middle - 1), ms) ||
            !parseNumber(line.substr(last + 1), us)) {
            std::fprintf(stderr, "lateness: %s:%d is not platform,wait,duration_ms,lateness_us: %s\n", path.c_str(),
                         number, line.c_str());
            return 1;
        }
        const std::string platform = line.substr(0, first), wait = line.substr(first + 1, middle - first - 1);
        auto it = std::find_if(series.begin(), series.end(),
                               [&](const Series& s) { return s.platform == platform && s.wait == wait && s.ms == ms; });
        if (it == series.end()) it = series.insert(series.end(), Series{platform, wait, ms, {}});
        it->lateUs.push_back(us);
    }
    std::printf("\nLateness past the deadline, from %s. Microseconds.\n", path.c_str());
    const Report report = openReport(name, outDir);
    for (Series& s : series) {
        std::sort(s.lateUs.begin(), s.lateUs.end());
        addRow(report, s.platform, s.wait, s.ms, s.lateUs, NAN, NAN);
    }
    closeReport(report);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--samples") return summariseSamples(argv[2], argv[3]);
    if (argc < 2 || argc > 3 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: lateness OUT_DIR [SCALE]\n       lateness --samples NAME OUT_DIR\n");
        return 2;
    }
    return measure(argv[1], argc > 2 ? std::atof(argv[2]) : 1.0);
}
