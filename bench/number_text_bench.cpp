// FileRealForm over every 16-bit sample divided by one peak: the work of writing one signal
// file line per sample. The seconds_per_value counter gives the cost of one value.
#include <benchmark/benchmark.h>

#include <vector>

#include "numtext/extended_real.h"
#include "numtext/number_text.h"

namespace {

constexpr int SampleCount = 65536;

void FileRealFormOfSixteenBitQuotients(benchmark::State& state) {
    const ExtendedReal peak = ExtendedFromInteger(state.range(0));
    std::vector<ExtendedReal> quotients;
    quotients.reserve(SampleCount);
    for (int sample = -32768; sample <= 32767; ++sample) {
        quotients.push_back(DivideExtended(ExtendedFromInteger(sample), peak));
    }
    for (auto _ : state) {
        for (ExtendedReal quotient : quotients) {
            NumberText text = FileRealForm(quotient);
            benchmark::DoNotOptimize(text);
        }
    }
    state.SetItemsProcessed(state.iterations() * SampleCount);
    state.counters["seconds_per_value"] = benchmark::Counter(
        SampleCount, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(FileRealFormOfSixteenBitQuotients)->Arg(32767)->Arg(32768)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
