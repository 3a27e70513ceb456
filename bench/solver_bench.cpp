#include <benchmark/benchmark.h>

#include "BenchFigure.h"

// One drag event's solve at the iteration cap.
static void BM_SolveAtCap(benchmark::State& state) {
  BenchFigure bench(static_cast<int>(state.range(0)));
  QuietStdout quiet;
  const std::vector<double> start = bench.figure->dofs();
  int iterations = 0;
  for (auto _ : state) {
    state.PauseTiming();
    bench.figure->setDofs(start);
    state.ResumeTiming();
    iterations = bench.figure->solve(bench.dragged()).iterations;
  }
  state.counters["iterations"] = iterations;
  // Seconds per solver iteration.
  state.counters["per_iteration"] = benchmark::Counter(double(state.iterations()) * iterations,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SolveAtCap)->Arg(1)->Arg(5)->Arg(20)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
