// reloj_cost OUT_CSV [benchmark flags]
//
// What reloj's body costs, next to the floor: one raw counter read, and a read
// with the conversion to milliseconds. Google Benchmark times each; the
// medians of its repetitions give the ratios, printed and written to OUT_CSV.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "timing/clock.hpp"

namespace {

void counterRead(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(timing::readCounter());
}

// The floor reloj cannot go under: a read and the conversion to milliseconds.
void counterReadAndConversion(benchmark::State& state) {
    const std::uint64_t frequency = timing::readFrequency();
    for (auto _ : state) benchmark::DoNotOptimize(timing::countToMsMultiplyFirst(timing::readCounter(), frequency));
}

// What reloj's body does on each call: the frequency is read afresh, then the
// counter, then converted.
void relojBody(benchmark::State& state) {
    for (auto _ : state) {
        const std::uint64_t frequency = timing::readFrequency();
        benchmark::DoNotOptimize(timing::countToMsMultiplyFirst(timing::readCounter(), frequency));
    }
}

const char* const kRead = "counter read";
const char* const kFloor = "counter read + conversion";
const char* const kBody = "reloj body";

// Shows the runs as usual and keeps the median time of each benchmark.
class MedianKeeper : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> medianNs;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                medianNs[run.run_name.function_name] =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
            }
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: reloj_cost OUT_CSV [benchmark flags]\n");
        return 2;
    }
    const std::string csvPath = argv[1];

    // Medians of repetitions taken in shuffled order, so that neither one
    // noisy stretch nor a drift of the machine's load decides a ratio; flags
    // given on the command line come later and win.
    std::vector<char*> args = {argv[0], const_cast<char*>("--benchmark_repetitions=9"),
                               const_cast<char*>("--benchmark_enable_random_interleaving=true"),
                               const_cast<char*>("--benchmark_report_aggregates_only=true"),
                               const_cast<char*>("--benchmark_min_time=0.1")};
    for (int i = 2; i < argc; ++i) args.push_back(argv[i]);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;

    benchmark::RegisterBenchmark(kRead, counterRead)->Unit(benchmark::kNanosecond);
    benchmark::RegisterBenchmark(kFloor, counterReadAndConversion)->Unit(benchmark::kNanosecond);
    benchmark::RegisterBenchmark(kBody, relojBody)->Unit(benchmark::kNanosecond);

    MedianKeeper keeper;
    benchmark::RunSpecifiedBenchmarks(&keeper);
    benchmark::Shutdown();

    std::map<std::string, double>& ns = keeper.medianNs;
    if (ns.size() != 3) return 0;  // a --benchmark_filter ran only some: no ratios
    FILE* csv = std::fopen(csvPath.c_str(), "w");
    if (csv == nullptr) {
        std::fprintf(stderr, "reloj_cost: cannot write %s\n", csvPath.c_str());
        return 1;
    }
    std::printf("\nCost of reloj, medians (ns per call) and ratios:\n");
    std::fprintf(csv, "what,ns_per_call,per_counter_read,per_read_and_conversion\n");
    for (const char* what : {kRead, kFloor, kBody}) {
        std::printf("  %-26s %9.2f ns  %7.2fx a counter read  %7.2fx read + conversion\n", what, ns[what],
                    ns[what] / ns[kRead], ns[what] / ns[kFloor]);
        std::fprintf(csv, "%s,%.3f,%.4f,%.4f\n", what, ns[what], ns[what] / ns[kRead], ns[what] / ns[kFloor]);
    }
    std::fclose(csv);
    return 0;
}
