// How fast the simulator makes its stream: far above any line it paces, so that
// the simulator costs next to nothing beside the program it feeds.

#include <benchmark/benchmark.h>

#include "sim/generator.h"

namespace {

void GenerateUnits(benchmark::State& state)
{
    varno::sim::Generator generator({5, 1, 5, static_cast<unsigned>(state.range(0))});
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto unit = generator.next();
        bytes += unit.bytes.size();
        benchmark::DoNotOptimize(unit);
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(GenerateUnits)->ArgName("noise_percent")->Arg(0)->Arg(50);

}  // namespace
