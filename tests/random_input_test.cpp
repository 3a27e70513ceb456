// Seeded random input without a display: presses, drags and releases of
// every button with and without Shift, frames, keys with and without Ctrl,
// and views squashed to nothing, through the gestures, the operator table,
// the settings keys and the document's verbs as the view runs them. After
// every event the pose, the handles and the camera stay finite and
// consistent, and undo then redo gives back every step bit for bit.
//
// MANNEQUIN_RANDOM_SEED picks the sequence, MANNEQUIN_RANDOM_EVENTS its
// length; a failure names the seed and the event, and the same seed replays
// the same sequence.
#include <FL/Fl.H>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>

#include "document/PoseDocument.h"
#include "flat_scene.h"
#include "ik_test_util.h"
#include "pose/FigureState.h"
#include "view/OperatorTable.h"
#include "view/OrbitCamera.h"
#include "view/SettingsKeys.h"

namespace {

// Our own generator, so that a seed means the same sequence with any
// standard library.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state(seed) {}
  uint64_t next() {
    uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
  int range(int lo, int hi) { return lo + below(hi - lo + 1); }
  bool chance(double p) { return double(next() >> 11) * (1.0 / 9007199254740992.0) < p; }

 private:
  uint64_t state;
};

unsigned long long environment(const char* name, unsigned long long fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::strtoull(text, nullptr, 0) : fallback;
}

int buttonMask(int button) {
  return button == FL_LEFT_MOUSE ? FL_BUTTON1 : button == FL_MIDDLE_MOUSE ? FL_BUTTON2 : FL_BUTTON3;
}

class RandomInput : public testing::Test {
 protected:
  // The first broken rule, or empty.
  std::string broken() {
    std::ostringstream why;
    for (double d : f.dofs()) {
      if (!std::isfinite(d)) return "a DOF is not finite";
    }
    int perSegment = 0;
    for (const Segment* s : f.segments()) perSegment += s->handleCount();
    if (perSegment != f.handleCount()) return "the segments list another count of handles";
    for (const HandleEntry& e : f.handles) {
      const Handle& h = *e.handle;
      if (!h.targetPos.isFinite()) return "a target is not finite";
      if (distance(h.worldPos, transformPoint(worldOf(e.segment), h.localPos)) > 1e-4)
        return (why << "a handle on " << e.segment->name << " is off its body at " << h.worldPos, why.str());
    }
    if (g.grabbed() && !f.segmentOf(g.grabbed())) return "the grabbed handle is not on the figure";
    if (!camera.eye.isFinite() || !camera.center.isFinite() || !camera.up.isFinite() || !std::isfinite(g.grabDepth()))
      return "the camera is not finite";
    return {};
  }

  // Steps taken back and again give the same states, bit for bit.
  std::string undoneAndRedone() {
    const FigureState now = saveState(f);
    const std::size_t undos = std::min<std::size_t>(doc.steps().undoCount(), 1 + rng.below(3));
    for (std::size_t i = 0; i < undos; ++i) doc.undo();
    for (std::size_t i = 0; i < undos; ++i) doc.redo();
    return saveState(f) == now ? "" : "undo and redo changed the pose";
  }

  Pixel anywhere() { return {rng.range(-20, width + 20), rng.range(-20, height + 20)}; }
  // On a handle most of the time once there are some, on a body, or anywhere.
  Pixel target() {
    if (!f.handles.empty() && rng.chance(0.6)) {
      const Pixel at = scene.pixelOf(std::next(f.handles.begin(), rng.below(f.handleCount()))->handle->worldPos);
      return {at.x + rng.range(-5, 5), at.y + rng.range(-5, 5)};
    }
    if (rng.chance(0.7)) {
      const Pixel at = scene.pixelOf(bodyCentre(bodies[rng.below(int(bodies.size()))]));
      return {at.x + rng.range(-4, 4), at.y + rng.range(-4, 4)};
    }
    return anywhere();
  }

  void press() {
    const int r = rng.below(10);
    int button = r < 6 ? FL_LEFT_MOUSE : r < 7 ? FL_MIDDLE_MOUSE : FL_RIGHT_MOUSE;
    if (held & buttonMask(button)) return;
    held |= buttonMask(button);
    const int state = held | (rng.chance(0.15) ? FL_SHIFT : 0);
    at = target();
    if (f.handleCount() > 8 && rng.chance(0.5)) button = FL_RIGHT_MOUSE;
    g.press(at.x, at.y, height, operators::gestureFor(button, state));
    ++counts.presses;
  }

  void release() {
    int button;
    do button = rng.range(1, 3);
    while (!(held & buttonMask(button)));
    held &= ~buttonMask(button);
    g.release(at.x, at.y);
  }

  void drag() {
    at = rng.chance(0.9) ? Pixel{at.x + rng.range(-8, 8), at.y + rng.range(-8, 8)} : anywhere();
    counts.dragSolves += g.mode() == GestureMode::HandleDrag && 0 < at.x && at.x < width && 0 < at.y && at.y < height;
    g.drag(at.x, at.y, width, height);
  }

  // A key as the view takes it: the settings at every key, a command once
  // nothing is held and no pick waits.
  void key() {
    static const int keys[] = {'1', '2', '3', 'n', 'm', 's', 'd', 'z', 'y', 'r', 'c', 'v', FL_Home, 'a'};
    const int k = keys[rng.below(int(std::size(keys)))];
    const int state = rng.chance(0.5) ? FL_CTRL | (rng.chance(0.3) ? FL_SHIFT : 0) : 0;
    settings.take(FL_KEYBOARD, k, state, doc);
    if (held || g.holding() || g.mode() == GestureMode::PickPending) return;
    const std::map<Command, std::function<void()>> commands = {
        {Command::Undo, [&] { doc.undo(); }},
        {Command::Redo, [&] { doc.redo(); }},
        {Command::Reset, [&] { doc.reset(); }},
        {Command::Copy, [&] { doc.copy(clipboard); }},
        {Command::Paste, [&] { doc.paste(clipboard, clipboard.size(), false); }},
        {Command::PasteMirrored, [&] { doc.paste(clipboard, clipboard.size(), true); }},
        {Command::Home, [&] { camera = OrbitCamera(); }}};
    if (const auto run = commands.find(operators::commandFor(k, state)); run != commands.end()) run->second();
  }

  void resize() {
    static const std::pair<int, int> sizes[] = {{400, 600}, {690, 665}, {300, 0}, {0, 400}, {1, 1}, {200, 120}};
    std::tie(width, height) = sizes[rng.below(int(std::size(sizes)))];
    scene.height = height;
  }

  // One random event and perhaps a frame; false once a rule is broken.
  bool step(long n) {
    const int handles = f.handleCount();
    const int what = rng.below(100);
    if (held) {
      what < 80 ? drag() : what < 92 ? release() : what < 97 ? press() : key();
    } else {
      what < 60 ? press() : what < 90 ? key() : what < 95 ? resize() : void(scene.mappable = !scene.mappable);
    }
    if (rng.chance(0.4)) {
      bool redraw;
      g.frameDrawn(redraw);
    }
    std::string why = broken();
    if (why.empty() && g.mode() == GestureMode::Idle && !held && rng.chance(0.05)) {
      why = undoneAndRedone();
      ++counts.undoChecks;
    }
    const int now = f.handleCount();
    (now > handles ? counts.created : counts.removed) += std::abs(now - handles);
    if (why.empty()) return true;
    ADD_FAILURE() << "random input: seed " << seed << ", event " << n << ": " << why
                  << "\n  replay: MANNEQUIN_RANDOM_SEED=" << seed << " MANNEQUIN_RANDOM_EVENTS=" << n + 1;
    return false;
  }

  const unsigned long long seed = environment("MANNEQUIN_RANDOM_SEED", 20240611);
  Rng rng{seed};
  PoseDocument doc{buildHumanoid()};
  const Figure& f = doc.figure();
  OrbitCamera camera;
  int width = 400, height = 600;
  FlatScene scene{f, width, height};
  PointerGestures g{doc, camera, scene};
  SettingsKeys settings;
  std::vector<const Segment*> bodies;
  std::string clipboard;
  int held = 0;
  Pixel at{0, 0};
  struct {
    long presses = 0, created = 0, removed = 0, dragSolves = 0, undoChecks = 0;
  } counts;
};

TEST_F(RandomInput, EveryEventLeavesTheDocumentAndTheGesturesSound) {
  const long events = long(environment("MANNEQUIN_RANDOM_EVENTS", 20000));
  for (const Segment* s : f.segments()) {
    if (s->hasShape) bodies.push_back(s);
  }
  doc.copy(clipboard);
  std::cout.setstate(std::ios::failbit);  // the camera's traces and the solver's lines
  long n = 0;
  while (n < events && step(n)) ++n;
  std::cout.clear();
  std::printf("random input: seed %llu, %ld events: %ld presses, %ld handles created, %ld removed, %ld drag solves, "
              "%ld undo and redo checks\n",
              seed, n, counts.presses, counts.created, counts.removed, counts.dragSolves, counts.undoChecks);
  if (n < events || events < 10000) return;
  EXPECT_GE(counts.created, events / 400);
  EXPECT_GE(counts.removed, events / 800);
  EXPECT_GE(counts.dragSolves, events / 40);
  EXPECT_GE(counts.undoChecks, events / 200);
}

}  // namespace
