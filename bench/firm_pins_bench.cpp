#include <benchmark/benchmark.h>

#include "bench/BenchFigure.h"
#include "ik/FirmPins.h"
#include "ik/Solver.h"

namespace {

// One drag event from the same start each time: the solve alone (firm pins
// off) or the solve and the firm pass. The dragged handle aims out of reach,
// so the solve runs to its cap and the pass uses its whole budget.
void dragEvent(benchmark::State& state, bool firm) {
  BenchFigure bench(static_cast<int>(state.range(0)));
  QuietStdout quiet;
  const std::vector<double> start = bench.figure->dofs();
  FirmPins::Result held;
  for (auto _ : state) {
    state.PauseTiming();
    bench.figure->setHeldDofs(start);
    state.ResumeTiming();
    if (firm) {
      held = FirmPins::solve(*bench.figure, bench.dragged());
    } else {
      bench.figure->solve(bench.dragged());
    }
  }
  state.counters["firm_iterations"] = held.iterations;
  state.counters["worst_pin_mm"] = held.worstPin * 1e3;
}

void BM_DragEventFirmOff(benchmark::State& state) { dragEvent(state, false); }
void BM_DragEventFirmOn(benchmark::State& state) { dragEvent(state, true); }

}  // namespace

BENCHMARK(BM_DragEventFirmOff)->Arg(5)->Arg(10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DragEventFirmOn)->Arg(5)->Arg(10)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
