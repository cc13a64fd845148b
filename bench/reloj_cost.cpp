// reloj_cost [benchmark flags]
//
// What reloj's body costs, next to the floor: one raw counter read, and a read
// with the conversion to milliseconds. Google Benchmark times each, the
// medians of shuffled repetitions; bench/run.sh has it write them as CSV
// (--benchmark_out), which bench/summarise.m reckons the ratios from.
#include <benchmark/benchmark.h>

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

}  // namespace

int main(int argc, char** argv) {
    // Medians of repetitions taken in shuffled order, so that neither one
    // noisy stretch nor a drift of the machine's load decides a ratio; flags
    // given on the command line come later and win.
    std::vector<char*> args = {argv[0], const_cast<char*>("--benchmark_repetitions=9"),
                               const_cast<char*>("--benchmark_enable_random_interleaving=true"),
                               const_cast<char*>("--benchmark_report_aggregates_only=true"),
                               const_cast<char*>("--benchmark_min_time=0.1")};
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;
    benchmark::RegisterBenchmark("counter read", counterRead)->Unit(benchmark::kNanosecond);
    benchmark::RegisterBenchmark("counter read + conversion", counterReadAndConversion)->Unit(benchmark::kNanosecond);
    benchmark::RegisterBenchmark("reloj body", relojBody)->Unit(benchmark::kNanosecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
