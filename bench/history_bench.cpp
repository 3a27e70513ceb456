#include <benchmark/benchmark.h>

#include "bench/BenchFigure.h"
#include "pose/FigureState.h"
#include "document/StepHistory.h"

namespace {

// Saving the figure as a step, as every gesture's end does; bytes_per_step is
// the memory one step holds, the history's bound times it its most.
void BM_RecordStep(benchmark::State& state) {
  BenchFigure bench(static_cast<int>(state.range(0)));
  StepHistory<FigureState> history(saveState(*bench.figure));
  float x = 0.0f;
  for (auto _ : state) {
    // A target moved, so that every step differs from the last.
    bench.handles.back()->targetPos.x = x += 1.0f;
    benchmark::DoNotOptimize(history.record(saveState(*bench.figure)));
  }
  state.counters["bytes_per_step"] = static_cast<double>(history.current().bytes());
  state.counters["bound"] = static_cast<double>(history.bound());
}

// Putting a saved state back, as undo and redo do.
void BM_RestoreStep(benchmark::State& state) {
  BenchFigure bench(static_cast<int>(state.range(0)));
  const FigureState saved = saveState(*bench.figure);
  std::vector<std::unique_ptr<Handle>> records;
  for (auto _ : state) records = restoreState(*bench.figure, saved);
}

}  // namespace

BENCHMARK(BM_RecordStep)->Arg(1)->Arg(5)->Arg(20);
BENCHMARK(BM_RestoreStep)->Arg(1)->Arg(5)->Arg(20);
BENCHMARK_MAIN();
