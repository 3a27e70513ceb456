#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include "bench/BenchFigure.h"
#include "bench/kdl/KdlHumanoid.h"
#include "ReferenceSolver.h"
#include "bench/Timing.h"
#include "ik/GradientPass.h"

namespace {

using Solver = std::function<SolveResult(Figure&, const Handle*)>;

SolveResult fastSolve(Figure& f, const Handle* dragged) { return f.solve(dragged); }

// One drag event's solve at the iteration cap, from the same start each time.
void solveAtCap(benchmark::State& state, const Solver& solve) {
  BenchFigure bench(static_cast<int>(state.range(0)));
  QuietStdout quiet;
  const std::vector<double> start = bench.figure->dofs();
  int iterations = 0;
  for (auto _ : state) {
    state.PauseTiming();
    bench.figure->setDofs(start);
    state.ResumeTiming();
    iterations = solve(*bench.figure, bench.dragged()).iterations;
  }
  state.counters["solver_iterations"] = iterations;
  // Seconds per solver iteration.
  state.counters["per_iteration"] = benchmark::Counter(
      double(state.iterations()) * iterations, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_SolveAtCap(benchmark::State& state) { solveAtCap(state, fastSolve); }
void BM_ReferenceSolveAtCap(benchmark::State& state) { solveAtCap(state, reference::solve); }

// Seconds per capped solve.
double secondsPerSolve(int handles, const Solver& solve) {
  BenchFigure bench(handles);
  QuietStdout quiet;
  const std::vector<double> start = bench.figure->dofs();
  return secondsPerCall([&] {
    bench.figure->setDofs(start);
    solve(*bench.figure, bench.dragged());
  });
}

// Our solver, the plain one and KDL side by side, with the ratios; "portable"
// is our solver with its inner pass built without AVX2. On standard error, so
// that standard output stays what Google Benchmark writes (one JSON document
// with --benchmark_format=json).
void printSummary() {
  const bool wide = GradientPass::useWideInstructions(true);
  std::fprintf(
      stderr, "\nPer solver iteration (capped solves of 100 iterations, tolerance 0.0001; best of 5 rounds), ours "
      "built for %s:\n",
      wide ? "AVX2" : "SSE2 (no AVX2 here)");
  std::fprintf(stderr, "%8s %12s %12s %12s %14s %14s %12s %13s\n", "handles", "ours us", "plain us", "KDL us",
              "plain/ours", "ours/KDL", "ours solve us", "portable us");
  for (int n : {1, 5, 20}) {
    // The least of five alternating rounds for each, so that a busy moment of
    // a shared machine does not fall on one side of a ratio only.
    double ours = HUGE_VAL, plain = HUGE_VAL, kdl = HUGE_VAL, portable = HUGE_VAL;
    for (int round = 0; round < 5; ++round) {
      GradientPass::useWideInstructions(wide);
      ours = std::min(ours, secondsPerSolve(n, fastSolve));
      plain = std::min(plain, secondsPerSolve(n, reference::solve));
      kdl = std::min(kdl, kdlSecondsPerIteration(n));
      GradientPass::useWideInstructions(false);
      portable = std::min(portable, secondsPerSolve(n, fastSolve));
    }
    std::fprintf(stderr, "%8d %12.3f %12.3f %12.3f %14.2f %14.2f %12.1f %13.3f\n", n, ours * 1e4, plain * 1e4,
                kdl * 1e6, plain / ours, ours / 100 / kdl, ours * 1e6, portable * 1e4);
  }
  GradientPass::useWideInstructions(true);
}

}  // namespace

BENCHMARK(BM_SolveAtCap)->Arg(1)->Arg(5)->Arg(20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReferenceSolveAtCap)->Arg(1)->Arg(5)->Arg(20)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  printSummary();
  return 0;
}
