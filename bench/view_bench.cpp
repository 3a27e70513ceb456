// What the view costs under a real X server and GL (run it through
// tests/run-with-xvfb.sh): a frame of a drag with ten handles, in the plain
// and the clay look, and a 4x picture in the clay look.
#include <benchmark/benchmark.h>

#include <FL/Fl.H>
#include <FL/gl.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "app/AppWindow.h"
#include "bench/BenchFigure.h"
#include "document/PoseDocument.h"
#include "pose/PoseFileText.h"
#include "view/GLView.h"
#include "view/PngEncoding.h"

namespace {

// One window for every benchmark, shown and drawn once, its figure with ten
// handles spread over the body.
struct Window {
  PoseDocument document{buildHumanoid()};
  AppWindow app{document};
};

Window& window() {
  static Window* w = [] {
    Fl::visual(FL_DOUBLE);
    auto* made = new Window();
    made->app.show();
    while (made->app.view->framesDrawn() == 0) Fl::wait(0.01);
    const Figure& figure = made->document.figure();
    for (int i = 0; i < 10; ++i) {
      const Segment* s = figure.findSegment(kSpread[i]);
      made->document.pin(s, s->endOffset);
    }
    return made;
  }();
  return *w;
}

void setLook(GLView& view, bool clay) {
  static bool isClay = false;
  if (isClay != clay) view.run(Command::ToggleLook);
  isClay = clay;
}

// One drag event as the view takes it: the dragged hand's target moves, the
// figure is solved, and the frame is drawn and finished.
void dragFrame(benchmark::State& state, bool clay) {
  Window& w = window();
  GLView& view = *w.app.view;
  setLook(view, clay);
  QuietStdout quiet;
  const Handle* hand = w.document.figure().handles.front().handle;
  const Vec3 start = hand->worldPos;
  w.document.beginDrag();
  int step = 0;
  for (auto _ : state) {
    const float t = 0.02f * float(step++ % 50);
    w.document.dragTo(hand, start + Vec3(0, t, t * 0.5f));
    view.redraw();
    Fl::flush();
    view.make_current();
    glFinish();
  }
  w.document.endDrag();
}

void BM_DragFramePlain(benchmark::State& state) { dragFrame(state, false); }
void BM_DragFrameClay(benchmark::State& state) { dragFrame(state, true); }

// The same with a 4000 x 3000 photograph's grain behind the figure, brought
// by a pose file as Ctrl+O brings one.
void withReference() {
  static const bool opened = [] {
    Window& w = window();
    const std::string folder = "/tmp/mannequin-view-bench";
    std::filesystem::create_directories(folder);
    Picture grain{4000, 3000, 3, std::vector<unsigned char>(4000u * 3000u * 3u)};
    std::mt19937 random(7);
    for (unsigned char& c : grain.pixels) c = static_cast<unsigned char>(random() >> 24);
    std::ofstream(folder + "/photo.png", std::ios::binary) << encodePng(grain, "");
    ViewState view;
    view.pictures[ViewState::kFree] = ReferencePicture{folder + "/photo.png"};
    std::ofstream(folder + "/posed.pose") << pose_file_text::write(w.document.figure(), view, folder);
    w.app.view->openFile(folder + "/posed.pose");
    return w.app.view->takeBroughtView();
  }();
  benchmark::DoNotOptimize(opened);
}
void BM_DragFramePlainReference(benchmark::State& state) {
  withReference();
  dragFrame(state, false);
}
void BM_DragFrameClayReference(benchmark::State& state) {
  withReference();
  dragFrame(state, true);
}

// A picture four times the view's size each way, in the clay look.
void BM_ClayPicture4x(benchmark::State& state) {
  GLView& view = *window().app.view;
  for (auto _ : state) {
    const Picture p =
        view.figurePicture(4 * view.w(), 4 * view.h(), PictureOptions::Background::Black, PictureOptions::Style::Clay);
    benchmark::DoNotOptimize(p.pixels.data());
  }
  state.counters["width"] = 4 * view.w();
  state.counters["height"] = 4 * view.h();
}

}  // namespace

BENCHMARK(BM_DragFramePlain)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DragFrameClay)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DragFramePlainReference)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DragFrameClayReference)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ClayPicture4x)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
