// The mouse's gestures without a display: presses, drags, releases and the
// frames they wait for, through a flat picture of the figure written in the
// test, acting on the real document and camera.
//
// Then seeded random input: presses, drags and releases of every button with
// and without Shift, frames, keys with and without Ctrl, and views squashed
// to nothing, through the gestures, the operator table, the settings keys and
// the document's verbs as the view runs them. After every event the pose, the
// handles and the camera stay finite and consistent, and undo then redo gives
// back every step bit for bit. MANNEQUIN_RANDOM_SEED picks the sequence,
// MANNEQUIN_RANDOM_EVENTS its length; a failure names the seed and the event,
// and the same seed replays the same sequence.
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

constexpr int kWidth = 400, kHeight = 600;

bool allFinite(const std::vector<double>& v) {
  return std::all_of(v.begin(), v.end(), [](double d) { return std::isfinite(d); });
}

class Gestures : public testing::Test {
 protected:
  Segment* segment(const char* name) { return f.findSegment(name); }
  void press(Pixel at, Gesture gesture = Gesture::Pose) { g.press(at.x, at.y, kHeight, gesture); }
  void drag(Pixel at) { g.drag(at.x, at.y, kWidth, kHeight); }
  void release(Pixel at) { g.release(at.x, at.y); }
  // The frame a pick waits for; whether it asked for one more.
  bool frame() {
    bool redraw = true;
    g.frameDrawn(redraw);
    return redraw;
  }
  // A click as the event loop delivers it: a frame after the press.
  void click(Pixel at, Gesture gesture = Gesture::Pose) {
    press(at, gesture);
    EXPECT_FALSE(frame());
    release(at);
  }
  // The gesture's mode, the handle it holds and whether a button holds on.
  void expectGesture(GestureMode mode, const Handle* grabbed, bool holding) {
    EXPECT_EQ(std::make_tuple(g.mode(), g.grabbed(), g.holding()), std::make_tuple(mode, grabbed, holding));
  }
  const Handle* pinOn(const char* name) {
    const int before = f.handleCount();
    click(scene.pixelOf(bodyCentre(segment(name))));
    return f.handleCount() == before + 1 ? f.handles.back().handle : nullptr;
  }

  PoseDocument doc{buildHumanoid()};
  const Figure& f = doc.figure();
  OrbitCamera camera;
  FlatScene scene{f, kWidth, kHeight};
  PointerGestures g{doc, camera, scene};
};

// The pick runs with the frame after the press, a step of its own: a handle
// on that body's surface, in front, exactly under the pointer, its target
// where it is. Before the first frame a press waits for it.
TEST_F(Gestures, AClickPinsOnTheBodyUnderThePointerAtTheNextFrame) {
  scene.frame = false;
  for (const char* name : {"h_thigh_left", "h_head", "h_abdomen", "h_shin_right"}) {
    SCOPED_TRACE(name);
    Segment* s = segment(name);
    const Pixel at = scene.pixelOf(bodyCentre(s));
    const std::size_t steps = doc.steps().undoCount();
    press(at);
    expectGesture(GestureMode::PickPending, nullptr, true);
    EXPECT_EQ(s->handleCount(), 0) << "the pick waits for the next frame";
    scene.frame = true;
    EXPECT_FALSE(frame());
    EXPECT_EQ(g.mode(), GestureMode::Idle);
    ASSERT_EQ(s->handleCount(), 1);
    const Handle* h = s->handles.front();
    EXPECT_EQ(doc.steps().undoCount(), steps + 1);
    EXPECT_NEAR(length(transformPoint((worldOf(s) * s->shape).inverse(), h->worldPos)), 0.5, 1e-3);
    const FlatScene::Point shown = scene.window(h->worldPos);
    EXPECT_NEAR(shown.x, at.x, 1e-3);
    EXPECT_NEAR(shown.y, kHeight - at.y, 1e-3);
    EXPECT_LT(shown.depth, scene.window(bodyCentre(s)).depth);
    EXPECT_EQ(length(h->targetPos - h->worldPos), 0.0f);
    release(at);
    EXPECT_EQ(doc.steps().undoCount(), steps + 1) << "a click's release is no step";
  }
}

// A release before the frame keeps the pick, which then asks for a frame of
// its own; a move before it, or a right click away from the handles, pins
// nothing; nor does a frame with nothing waiting.
TEST_F(Gestures, AQuickClickStillPicksAndAMovedOneDoesNot) {
  const Pixel aim = scene.pixelOf(bodyCentre(segment("h_thigh_left")));
  press(aim);
  release(aim);
  expectGesture(GestureMode::PickPending, nullptr, false);
  EXPECT_TRUE(frame());
  EXPECT_EQ(f.handleCount(), 1);
  EXPECT_FALSE(frame());
  doc.undo();
  // A busy program may take the next click, or the wheel, before that frame:
  // the first click picks then, on the frame still shown.
  const Pixel head = scene.pixelOf(bodyCentre(segment("h_head")));
  press(aim);
  release(aim);
  press(head);
  release(head);
  EXPECT_EQ(segment("h_thigh_left")->handleCount(), 1);
  EXPECT_TRUE(frame());
  EXPECT_EQ(segment("h_head")->handleCount(), 1);
  const Pixel belly = scene.pixelOf(bodyCentre(segment("h_abdomen")));
  press(belly);
  release(belly);
  printedBy([&] { g.wheel(300, 300, 1); });
  EXPECT_EQ(segment("h_abdomen")->handleCount(), 1) << "before the camera moves";
  for (int i = 0; i < 3; ++i) doc.undo();
  press(aim);
  drag({aim.x + 1, aim.y});
  expectGesture(GestureMode::Idle, nullptr, false);
  EXPECT_FALSE(frame());
  release({aim.x + 1, aim.y});
  click(aim, Gesture::Unpin);
  click(aim, Gesture::None);
  EXPECT_EQ(f.handleCount(), 0);
  EXPECT_EQ(doc.steps().undoCount(), 0u);
}

// A right press within 4 pixels holds the handle until the frame that
// removes it, the pose kept. A left press 4 to 5 pixels away misses it for
// grabbing (radius 4), but the pick at the next frame searches 5 pixels and
// removes it; a pixel further the click pins a handle of its own.
TEST_F(Gestures, AClickOnOrJustBesideAHandleRemovesItAtTheNextFrame) {
  ASSERT_NE(pinOn("h_thigh_left"), nullptr);
  // Half a pixel off the grid, the handle shows 4.5 pixels from a whole one.
  const FlatScene::Point p = scene.window(f.handles.back().handle->worldPos);
  scene.x0 += std::floor(p.x) + 0.5 - p.x;
  scene.y0 += std::floor(p.y) + 0.5 - p.y;
  const Pixel on = {int(std::floor(p.x)), int(kHeight - std::floor(p.y))}, beside = {on.x + 5, on.y};
  click({beside.x + 1, beside.y});
  ASSERT_EQ(f.handleCount(), 2) << "a pixel further pins";
  doc.undo();
  const std::vector<double> pose = f.dofs();
  for (const auto& [at, gesture] : {std::pair{Pixel{on.x + 3, on.y - 3}, Gesture::Unpin}, std::pair{beside, Gesture::Pose}}) {
    const Handle* h = f.handles.back().handle;
    press(at, gesture);
    expectGesture(GestureMode::PickPending, gesture == Gesture::Unpin ? h : nullptr, true);
    EXPECT_EQ(f.handleCount(), 1) << "removal waits for the next frame";
    frame();
    expectGesture(GestureMode::Idle, nullptr, false);
    EXPECT_EQ(std::make_pair(f.handleCount(), f.segmentOf(h)), std::make_pair(0, static_cast<Segment*>(nullptr)));
    EXPECT_EQ(segment("h_thigh_left")->handleCount(), 0);
    release(at);
    EXPECT_EQ(f.dofs(), pose);
    EXPECT_EQ(doc.steps().undoCount(), 2u);
    doc.undo();
  }
}

// r over a part, then the pointer: the part turns as if the pointer pulled
// its near side, across the screen about the view's up and up and down
// about its right. The right arm reaches from its shoulder towards the eye.
TEST_F(Gestures, ATurnPullsThePartsNearSideWithThePointer) {
  camera.recompute();
  // The screen's right and up, as gluLookAt makes them.
  const Vec3 forward = camera.center - camera.eye, right = cross(forward, camera.up), up = cross(right, forward);
  const Segment* arm = segment("h_bicep_right");
  const auto hand = [&] { return bodyCentre(segment("h_hand_right")); };
  ASSERT_LT(dot(hand() - transformPoint(worldOf(arm), Vec3()), forward), 0.0f);
  g.beginTurn(arm, 200, 300);
  Vec3 was = hand();
  g.move(210, 300);
  EXPECT_GT(dot(hand() - was, right), 0.0f) << "the pointer moved right";
  was = hand();
  g.move(210, 310);
  EXPECT_LT(dot(hand() - was, up), 0.0f) << "the pointer moved down";
  was = hand();
  g.move(210, 310);
  EXPECT_LT(length(hand() - was), 1e-6f) << "the pointer stayed";
  g.endTurn(true);
  EXPECT_EQ(doc.steps().undoCount(), 1u);
}

class Dragging : public Gestures {
 protected:
  void SetUp() override {
    doc.apply(SolverSetting::Tolerance4);
    h = pinOn("h_forearm_left");
    ASSERT_NE(h, nullptr);
    at = scene.pixelOf(h->worldPos);
  }
  const Handle* h = nullptr;
  Pixel at{};
};

// A busy program reads a drag's last move only after the release: the
// handle's target and the camera still end where the button went up, and
// where the last move already was, nothing more moves.
TEST_F(Dragging, AReleaseBeyondTheLastMoveEndsThereForTheHandleAndTheCamera) {
  const double depth = scene.window(h->worldPos).depth;
  const Pixel end{at.x + 30, at.y - 20};
  press(at);
  drag({at.x + 10, at.y - 5});
  printedBy([&] { g.catchUp(end.x, end.y, kWidth, kHeight); });
  release(end);
  EXPECT_LT(distance(h->targetPos, scene.world(end.x, kHeight - end.y, depth)), 1e-5);
  press({100, 100}, Gesture::Rotate);
  EXPECT_EQ(printedBy([&] { g.catchUp(100, 100, kWidth, kHeight); }), "");
  EXPECT_EQ(printedBy([&] { drag({110, 100}), g.catchUp(130, 104, kWidth, kHeight); }), "[10 0 -0]\n[20 4 -0]\n");
  release({130, 104});
}

// A press within 4 pixels grabs the handle at its depth; each drag inside
// the view makes the pointer at that depth its target and solves; the drag
// is one step, recorded at the release, and a drag after it moves nothing.
TEST_F(Dragging, TheHandleFollowsThePointerAsOneStep) {
  Segment* forearm = segment("h_forearm_left");
  const std::vector<double> before = f.dofs();
  const double depth = scene.window(h->worldPos).depth;
  press({at.x + 3, at.y - 3});
  expectGesture(GestureMode::HandleDrag, h, true);
  EXPECT_EQ(g.grabDepth(), depth);
  EXPECT_FALSE(frame());
  for (int i = 1; i <= 8; ++i) {
    const Pixel step{at.x + 3 * i, at.y - 2 * i};
    SCOPED_TRACE(i);
    // Only solver iterations beyond the quiet ones may print, at most ten a solve.
    const std::string out = printedBy([&] { drag(step); });
    EXPECT_EQ(countLines(out, "brem"), long(linesOf(out).size())) << out;
    EXPECT_LE(linesOf(out).size(), 10u);
    EXPECT_LT(distance(h->targetPos, scene.world(step.x, kHeight - step.y, depth)), 1e-5);
    const FlatScene::Point shown = scene.window(h->worldPos);
    EXPECT_LT(std::hypot(shown.x - step.x, shown.y - (kHeight - step.y)), 1.0);
    EXPECT_EQ(doc.steps().undoCount(), 1u) << "a drag is a step once it ends";
  }
  release({at.x + 24, at.y - 16});
  expectGesture(GestureMode::Idle, nullptr, false);
  EXPECT_EQ(doc.steps().undoCount(), 2u);
  EXPECT_EQ(f.segmentOf(h), forearm);
  EXPECT_TRUE(allFinite(f.dofs()));
  const std::vector<double> posed = f.dofs();
  drag(at);
  EXPECT_EQ(f.dofs(), posed);
  doc.undo();
  EXPECT_EQ(f.dofs(), before);
}

// On the edge or outside the pointer has no place to pull to: no solve, the
// same target, but the point is kept. Inside, a pointer that cannot be
// placed in the world says so before the solve, and the handle keeps its
// target; placed again, it solves.
TEST_F(Dragging, APointerWithNoPlaceToPullToKeepsTheTarget) {
  press(at);
  const std::vector<double> pose = f.dofs();
  const Vec3 target = h->targetPos;
  for (const Pixel& q : std::vector<Pixel>{
           {0, at.y}, {at.x, 0}, {-7, at.y}, {at.x, -7}, {kWidth, at.y}, {at.x, kHeight}, {kWidth + 20, kHeight + 20}}) {
    SCOPED_TRACE(testing::Message() << q.x << "," << q.y);
    EXPECT_EQ(printedBy([&] { drag(q); }), "");
    EXPECT_TRUE(sameVectors(f.dofs(), pose));
    EXPECT_EQ(length(h->targetPos - target), 0.0f);
    EXPECT_EQ(std::make_pair(g.lastX(), g.lastY()), std::make_pair(q.x, kHeight - q.y));
    EXPECT_EQ(g.mode(), GestureMode::HandleDrag);
  }
  scene.mappable = false;
  const std::vector<std::string> printed = linesOf(printedBy([&] { drag({1, 1}); }));
  ASSERT_FALSE(printed.empty());
  EXPECT_EQ(printed.front(), "YOU suck!!!");
  EXPECT_EQ(length(h->targetPos - target), 0.0f);
  EXPECT_TRUE(allFinite(f.dofs()));
  scene.mappable = true;
  drag({1, 1});
  EXPECT_NE(f.dofs(), pose);
  release({1, 1});
}

// A right press away from every handle while the left holds one lets go of
// it and keeps the drag: it relaxes the figure towards the other targets.
TEST_F(Dragging, ARightPressAwayFromHandlesLetsGoAndRelaxes) {
  const Handle* shin = pinOn("h_shin_right");
  ASSERT_NE(shin, nullptr);
  // A coarse solve leaves the forearm short of its target.
  doc.apply(SolverSetting::Tolerance2);
  press(at);
  for (int i = 1; i <= 4; ++i) drag({at.x + 15 * i, at.y - 15 * i});
  release({at.x + 60, at.y - 60});
  doc.apply(SolverSetting::Tolerance4);
  const double gap = distance(h->worldPos, h->targetPos);
  ASSERT_GT(gap, 1e-3);
  const Pixel from = scene.pixelOf(shin->worldPos);
  press(from);
  ASSERT_EQ(g.grabbed(), shin);
  const Vec3 shinTarget = shin->targetPos;
  press({5, 5}, Gesture::Unpin);
  expectGesture(GestureMode::HandleDrag, nullptr, true);
  const std::string out = printedBy([this] { drag({30, 30}); });
  EXPECT_LT(distance(h->worldPos, h->targetPos), 0.5 * gap);
  EXPECT_EQ(length(shin->targetPos - shinTarget), 0.0f) << "no handle is dragged";
  EXPECT_EQ(out.find("YOU suck"), std::string::npos);
  release({30, 30});
  EXPECT_EQ(g.mode(), GestureMode::Idle);
}

// The camera's gestures move the camera alone, on a handle too, and trace
// each step; how far a pixel moves it is camera_test's.
TEST_F(Gestures, CameraGesturesMoveTheCameraOnly) {
  const Handle* h = pinOn("h_thigh_left");
  const Pixel at = scene.pixelOf(h->worldPos);
  const std::vector<double> pose = f.dofs();
  const struct {
    Gesture gesture;
    int mode;
    Pixel from, to;
    const char* trace;
  } moves[] = {{Gesture::Rotate, Rotate, at, {at.x + 180, at.y + 18}, "[180 18 -0]\n"},
               {Gesture::Pan, Pan, {400, 400}, {410, 405}, "[10 5 -0]\n"},
               {Gesture::Zoom, Zoom, {200, 300}, {203, 320}, "[3 20 -0]\n"}};
  for (const auto& m : moves) {
    press(m.from, m.gesture);
    expectGesture(GestureMode::CameraMove, nullptr, true);
    EXPECT_EQ(camera.mode, m.mode);
    EXPECT_FALSE(frame());
    EXPECT_EQ(printedBy([&] { g.wheel(m.from.x, m.from.y, 1); }), "") << "no wheel while a button is held";
    EXPECT_EQ(printedBy([&] { drag(m.to); }), m.trace);
    release(m.to);
    expectGesture(GestureMode::Idle, nullptr, false);
    EXPECT_EQ(camera.mode, Inactive);
  }
  // A notch down zooms as a zoom drag 10 pixels down does.
  EXPECT_EQ(printedBy([&] { g.wheel(300, 300, 2); }), "[0 10 -0]\n[0 10 -0]\n");
  EXPECT_EQ(printedBy([&] { click({300, 300}, Gesture::None); drag({310, 300}); }), "");
  EXPECT_EQ(f.dofs(), pose);
  EXPECT_EQ(f.handleCount(), 1);
  EXPECT_EQ(doc.steps().undoCount(), 1u);
  EXPECT_NE(camera.yaw, 1.0f);
  EXPECT_NEAR(camera.distance, -24.0f, 1e-5);
}

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

class RandomInput : public Gestures {
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
  int width = kWidth, height = kHeight;
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
