#include <benchmark/benchmark.h>

#include <vector>

#include "bench/BenchFigure.h"
#include "bench/kdl/KdlHumanoid.h"

// One solver iteration's work done by KDL: handle positions, handle
// Jacobians and J^T e, for the same handles as BM_SolveAtCap.
static void BM_KdlIteration(benchmark::State& state) {
  BenchFigure bench(static_cast<int>(state.range(0)));
  KdlHumanoid kdl = KdlHumanoid::fromFigureHandles(*bench.figure);
  std::vector<double> gradient;
  kdl.iteration(gradient);
  for (auto _ : state) {
    kdl.iteration(gradient);
    benchmark::DoNotOptimize(gradient.data());
    benchmark::ClobberMemory();
  }
  state.counters["joints"] = kdl.jointCount();
}
BENCHMARK(BM_KdlIteration)->Arg(1)->Arg(5)->Arg(20)->Unit(benchmark::kMicrosecond);
