#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "humanoid/Humanoid.h"
#include "pose/Capture.h"
#include "pose/CaptureFit.h"

namespace {

std::shared_ptr<const capture::Capture> loaded(const Figure& figure, const char* name) {
  std::ifstream in(std::string(MANNEQUIN_CAPTURES) + "/" + name, std::ios::binary);
  return capture::load(figure, in).capture;
}

// One frame fitted onto the figure, as a frame chooser's slider asks for
// each frame it passes: every frame of the cut in turn.
void BM_FitFrame(benchmark::State& state, const char* name) {
  const auto figure = buildHumanoid();
  const auto capture = loaded(*figure, name);
  if (!capture) return state.SkipWithError("the capture is not read");
  long frame = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(capture::fit(*figure, *capture, frame % capture->frames + 1));
    ++frame;
  }
}

// A capture of a few frames read whole, as opening one reads it.
void BM_LoadCapture(benchmark::State& state) {
  const auto figure = buildHumanoid();
  std::ifstream file(std::string(MANNEQUIN_CAPTURES) + "/cmu-01-03-cut.bvh", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), {});
  for (auto _ : state) {
    std::istringstream in(text);
    benchmark::DoNotOptimize(capture::load(*figure, in));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

}  // namespace

BENCHMARK_CAPTURE(BM_FitFrame, cmu, "cmu-01-03-cut.bvh")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FitFrame, motionbuilder, "boxing-toes-cut.bvh")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadCapture)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
