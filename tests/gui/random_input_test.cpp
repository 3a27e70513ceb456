// Seeded random input to the real window under a private X server: presses,
// drags, releases, keys, focus and crossing events and window resizes, with
// frames drawn in between, checking after every event that the pose, the
// handles, the camera and the view's state stay finite and consistent (that
// a solve keeps the limits and the quaternions whole is solver_test's). The
// mouse is steered towards the figure and its handles so that handles are
// pinned, grabbed, dragged and removed and the solver runs thousands of times.
//
// MANNEQUIN_RANDOM_SEED picks the sequence, MANNEQUIN_RANDOM_EVENTS its
// length, MANNEQUIN_RANDOM_TRACE=1 prints every event. A failure names the
// seed and the event number; the same seed replays the same sequence.
#include <FL/Fl.H>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <numeric>
#include <sstream>
#include <string_view>

#include "window_fixture.h"

namespace {

constexpr uint64_t kDefaultSeed = 20240611;
constexpr long kDefaultEvents = 20000;

// Our own generator and ranges, so that a seed means the same sequence with
// any standard library.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state(seed) {}

  uint64_t next() {
    uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // In [0, n).
  int below(int n) { return n <= 0 ? 0 : static_cast<int>(next() % static_cast<uint64_t>(n)); }
  // In [lo, hi].
  int range(int lo, int hi) { return lo + below(hi - lo + 1); }
  double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
  bool chance(double p) { return unit() < p; }
  // An index drawn with the given relative weights.
  int weighted(std::initializer_list<double> weights) {
    double r = unit() * std::accumulate(weights.begin(), weights.end(), 0.0);
    int i = 0;
    for (double w : weights) {
      if (r < w) return i;
      r -= w, ++i;
    }
    return i - 1;
  }

 private:
  uint64_t state;
};

// The parts as one text.
template <class... Parts>
std::string words(const Parts&... parts) {
  std::ostringstream text;
  (text << ... << parts);
  return text.str();
}

class RandomInput : public WindowFixture {
 protected:
  void record(const std::string& line) {
    if (trace) std::fprintf(stderr, "%s\n", line.c_str());
    history.push_back(line);
    if (history.size() > 40) history.pop_front();
  }

  // The first broken rule, or empty.
  std::string broken() const {
    const std::vector<double> dofs = figure->dofs();
    for (size_t i = 0; i < dofs.size(); ++i)
      if (!std::isfinite(dofs[i])) return words("DOF ", i, " is ", dofs[i]);
    int perSegment = 0;
    for (const Segment* s : figure->segments()) perSegment += s->handleCount();
    if (perSegment != figure->handleCount())
      return words("the figure lists ", figure->handleCount(), " handles, its segments ", perSegment);
    for (const HandleEntry& e : figure->handles) {
      const Vec3 &at = e.handle->worldPos, &aim = e.handle->targetPos;
      if (!at.isFinite() || !aim.isFinite())
        return words("a handle on ", e.segment->name, " is at ", at, " aiming at ", aim);
    }
    if (view->grabbedHandle && !figure->segmentOf(view->grabbedHandle))
      return "the grabbed handle is not on the figure";
    const OrbitCamera& c = *view->camera;
    if (!std::isfinite(c.pitch) || !std::isfinite(c.yaw) || !std::isfinite(c.distance) ||
        !c.center.isFinite() || !c.eye.isFinite() || !c.up.isFinite())
      return words("camera pitch ", c.pitch, " yaw ", c.yaw, " distance ", c.distance, " centre ", c.center);
    // Whatever the view's size, a frame's projection is a finite matrix.
    for (int i = 0; i < 16; ++i)
      if (!std::isfinite(matrices.projection[i]))
        return words("projection element ", i, " of the last frame is ", matrices.projection[i]);
    return {};
  }

  // Toolkit coordinates of a figure point in the last frame.
  bool project(const Vec3& p, int& x, int& y) const {
    double w[3];
    if (!projectToWindow(matrices, p, w) || !(std::abs(w[0]) <= 1e6 && std::abs(w[1]) <= 1e6)) return false;
    x = nearestPixel(w[0]);
    y = view->h() - nearestPixel(w[1]);
    return true;
  }

  void anywhere(int& x, int& y) {
    x = rng->range(0, std::max(view->w() - 1, 0));
    y = rng->range(0, std::max(view->h() - 1, 0));
  }

  // On the left, top, right or bottom edge.
  void onEdge(int& x, int& y) {
    anywhere(x, y);
    const int side = rng->below(4);
    (side % 2 ? y : x) = side < 2 ? 0 : side == 2 ? view->w() : view->h();
  }

  void outside(int& x, int& y) {
    anywhere(x, y);
    if (rng->chance(0.5))
      x = rng->chance(0.5) ? -rng->range(1, 300) : view->w() + rng->range(1, 300);
    else
      y = rng->chance(0.5) ? -rng->range(1, 300) : view->h() + rng->range(1, 300);
  }

  // Near a handle, grabbing range (4 pixels) most of the time.
  bool nearHandle(int& x, int& y) {
    if (figure->handles.empty()) return false;
    const Handle* h = std::next(figure->handles.begin(), rng->below(figure->handleCount()))->handle;
    if (!project(h->worldPos, x, y)) return false;
    const int r = rng->chance(0.8) ? 3 : 6;
    x += rng->range(-r, r), y += rng->range(-r, r);
    return true;
  }

  // Near the centre of a body.
  bool onBody(int& x, int& y) {
    const Segment* s = bodies[rng->below(static_cast<int>(bodies.size()))];
    if (!project(bodyCentre(s), x, y)) return false;
    x += rng->range(-4, 4), y += rng->range(-4, 4);
    return true;
  }

  // Where a press lands: on handles, more often the more there are, on the
  // bodies, or anywhere, on the edges and outside.
  void pressPoint(int& x, int& y, bool& atHandle) {
    const int n = figure->handleCount();
    const double toHandle = n == 0 ? 0.0 : std::min(0.85, 0.4 + 0.1 * n);
    atHandle = rng->chance(toHandle) && nearHandle(x, y);
    if (atHandle) return;
    const double r = rng->unit();
    if (r < 0.65 && onBody(x, y)) return;
    r < 0.85 ? anywhere(x, y) : r < 0.93 ? onEdge(x, y) : outside(x, y);
  }

  // Camera drags stay where the figure remains in sight over a long run
  // (zoomed through the centre now and then, but not off into the distance):
  // of three candidate steps, tried on a copy of the camera, one that stays
  // inside that region is taken, or the one nearest to it.
  static double awayFromHome(const OrbitCamera& c) {
    const double d = c.distance;
    return std::max(0.0, double(length(c.center)) - 4.0) + std::max(0.0, d < -50 ? -50 - d : d - 15);
  }

  void dragPoint(int& x, int& y) {
    const bool lost = pointerX <= 0 || pointerY <= 0 || pointerX >= view->w() || pointerY >= view->h();
    const double r = rng->unit();
    if (lost && rng->chance(0.4)) {
      // Back into the view, usually near where the drag left it.
      x = std::clamp(pointerX, 1, std::max(view->w() - 1, 1)) + rng->range(-6, 6);
      y = std::clamp(pointerY, 1, std::max(view->h() - 1, 1)) + rng->range(-6, 6);
    } else if (r < 0.80) {
      const int step = rng->chance(0.8) ? 6 : 40;
      x = pointerX + rng->range(-step, step), y = pointerY + rng->range(-step, step);
    } else {
      r < 0.87 ? anywhere(x, y) : r < 0.94 ? onEdge(x, y) : outside(x, y);
    }
    if (view->mode == CameraMove && view->camera->mode == Zoom && rng->chance(0.15)) {
      // Zoom right onto the centre, where the look-at degenerates.
      x = pointerX;
      y = static_cast<int>(std::lround(view->camera->lastY + view->camera->distance * 10.0));
      stopAtCentre = true;
    } else if (view->mode == CameraMove) {
      OrbitCamera probe = *view->camera;
      probe.drag(x, y);
      double best = awayFromHome(probe);
      for (const int reach : {12, 300}) {
        const int x2 = pointerX + rng->range(-reach, reach), y2 = pointerY + rng->range(-reach, reach);
        probe = *view->camera;
        probe.drag(x2, y2);
        if (awayFromHome(probe) < best) best = awayFromHome(probe), x = x2, y = y2;
      }
    }
  }

  // Sends one event with the held buttons and Shift as its state; the key
  // stays what the last event left unless `setKey`. Returns the event with
  // the state it met, which the history keeps, and a digest of the pose, so
  // that two traces show where they part.
  std::string sendRecorded(int event, int x, int y, int key, bool setKey) {
    const int state = heldButtons | (shift ? FL_SHIFT : 0);
    const int keysym = setKey ? key : Fl::e_keysym;
    const std::vector<double> dofs = figure->dofs();
    const std::size_t pose = std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(dofs.data()), dofs.size() * sizeof(double)));
    const std::string text =
        words("#", counts.events, " event ", event, " x=", x, " y=", y, std::hex, " state=0x", state, " key=0x",
              keysym, std::dec, " view=", view->w(), "x", view->h(), " mode=", view->mode, " handles=",
              figure->handleCount(), " camera distance=", view->camera->distance, " frames=", view->framesDrawn(),
              std::hex, " pose=", pose & 0xffffffffu);
    record(text);
    send(event, x, y, state, keysym);
    ++counts.events;
    return text;
  }

  // One random step; false once a rule is broken.
  bool step() {
    const int modeBefore = view->mode;
    const bool grabbedBefore = view->grabbedHandle != nullptr;
    const int handlesBefore = figure->handleCount();
    double framing = 0.15;
    std::string what;

    const bool squashed = view->w() < 100 || view->h() < 100;
    const bool allHeld = heldButtons == (FL_BUTTON1 | FL_BUTTON2 | FL_BUTTON3);
    enum Action { Drag, Release, Press, Move, Key, ShiftKey, Crossing, Wheel, Resize, Grow };
    Action action;
    const bool stopHere = stopAtCentre && rng->chance(0.8);
    stopAtCentre = false;
    if (shift && rng->chance(0.3)) {
      action = ShiftKey;  // Shift is held briefly, for a press or two
    } else if (squashed && rng->chance(0.2)) {
      action = Grow;  // a squashed window soon grows again
    } else if (stopHere && heldButtons) {
      action = Release;  // a user who zoomed onto the centre lets go there
    } else if (heldButtons) {
      // Handle drags go on longer: they are what runs the solver.
      const double drag = view->mode == HandleDrag ? 85 : 72;
      action = static_cast<Action>(rng->weighted({drag, 13, allHeld ? 0.0 : 2.0, 0, 3, 3, 2, 1, 1}));
    } else {
      action = static_cast<Action>(rng->weighted({0, 0, 50, 15, 15, 5, 8, 3, 4}));
    }

    switch (action) {  // each sets what and, for a frame after it, its chance
      case Drag: {
        int x, y;
        dragPoint(x, y);
        const bool inside = 0 < x && x < view->w() && 0 < y && y < view->h();
        counts.dragSolves += modeBefore == HandleDrag && grabbedBefore && inside;
        what = sendRecorded(FL_DRAG, x, y, 0, false);
        pointerX = x, pointerY = y;
        framing = 0.3;
        break;
      }
      case Release: {
        // Let go of one of the held buttons.
        int button;
        do button = rng->range(1, 3);
        while (!(heldButtons & buttonMask(button)));
        heldButtons &= ~buttonMask(button);
        what = sendRecorded(FL_RELEASE, pointerX, pointerY, FL_Button + button, true);
        framing = 0.5;
        break;
      }
      case Press:
        what = press();
        framing = 0.6;
        break;
      case Move:
        anywhere(pointerX, pointerY);
        if (rng->chance(0.2)) outside(pointerX, pointerY);
        what = sendRecorded(FL_MOVE, pointerX, pointerY, 0, false);
        break;
      case Key:
        what = key();
        break;
      case ShiftKey: {  // like the X server, the event carries the state from before it
        static char none[1] = {0};
        Fl::e_text = none, Fl::e_length = 0;
        what = sendRecorded(shift ? FL_KEYUP : FL_KEYBOARD, pointerX, pointerY, FL_Shift_L, true);
        shift = !shift;
        break;
      }
      case Crossing: {
        static const int events[] = {FL_ENTER, FL_LEAVE, FL_FOCUS, FL_UNFOCUS};
        what = sendRecorded(events[rng->below(4)], pointerX, pointerY, 0, false);
        break;
      }
      case Wheel:
        Fl::e_dx = 0, Fl::e_dy = rng->chance(0.5) ? 1 : -1;
        what = sendRecorded(FL_MOUSEWHEEL, pointerX, pointerY, 0, false);
        break;
      case Resize:
      case Grow:
        what = resize(action == Grow);
    }
    if (std::string why = broken(); !why.empty()) return fail(what, why);
    if (rng->chance(framing)) {
      drawFrame();
      record("   frame");
      matrices = frameMatrices();
      if (std::string why = broken(); !why.empty()) return fail(what + ", then a frame", why);
    }

    const int now = figure->handleCount();
    (now > handlesBefore ? counts.created : counts.removed) += std::abs(now - handlesBefore);
    return true;
  }

  std::string press() {
    // Right presses, which remove handles, grow likelier with their number.
    const double right = 8 + 5 * figure->handleCount();
    int button;
    do button = 1 + rng->weighted({55, 12, right});
    while (heldButtons & buttonMask(button));
    int x, y;
    bool atHandle;
    pressPoint(x, y, atHandle);
    // Crowded: take handles away rather than grab them.
    if (atHandle && figure->handleCount() > 8 && rng->chance(0.6)) button = FL_RIGHT_MOUSE;
    pointerX = x, pointerY = y;
    heldButtons |= buttonMask(button);
    return sendRecorded(FL_PUSH, x, y, FL_Button + button, true);
  }

  std::string key() {
    static const int programKeys[] = {'s', 'd', '1', '2', '3', 'n', 'm'};
    static const int otherKeys[] = {FL_Escape,    FL_Enter, FL_Tab,  FL_BackSpace, FL_Delete,  FL_Left,
                                    FL_Right,     FL_Up,    FL_Down, FL_Home,      FL_Page_Up, FL_Insert,
                                    FL_Control_L, FL_Alt_L, ' ',     '-',          '=',        '/'};
    const double r = rng->unit();
    const int k = r < 0.55   ? programKeys[rng->below(7)]
                  : r < 0.70 ? 'a' + rng->below(26)
                  : r < 0.78 ? '0' + rng->below(10)
                  : r < 0.88 ? FL_F + rng->range(1, 12)
                             : otherKeys[rng->below(static_cast<int>(std::size(otherKeys)))];
    static char text[2];
    text[0] = k < 0x80 ? static_cast<char>(shift && k >= 'a' && k <= 'z' ? k - 32 : k) : 0;
    Fl::e_text = text, Fl::e_length = text[0] ? 1 : 0;
    std::string what = sendRecorded(FL_KEYBOARD, pointerX, pointerY, k, true);
    if (rng->chance(0.85)) what += "; " + sendRecorded(FL_KEYUP, pointerX, pointerY, k, true);
    return what;
  }

  // The window goes down to no width or no height (the view then to none or
  // less) and back up; the toolkit's loop runs once after it.
  std::string resize(bool growing) {
    int w, h;
    const double r = growing ? 0.5 + 0.5 * rng->unit() : rng->unit();
    if (r < 0.25)
      w = rng->range(0, 1000), h = rng->chance(0.5) ? 0 : 1;
    else if (r < 0.40)
      w = rng->chance(0.5) ? 0 : 4, h = rng->range(0, 760);
    else if (r < 0.50)
      w = rng->range(0, 4), h = rng->range(0, 1);
    else if (r < 0.80)
      w = 694, h = 666;
    else
      w = rng->range(100, 1000), h = rng->range(100, 760);
    app->window->size(w, h);
    const std::string what = words("#", counts.events, " resize window to ", w, "x", h);
    record(words(what, " (view ", view->w(), "x", view->h(), ")"));
    const int before = view->framesDrawn();
    Fl::wait(0);
    ++counts.events;
    counts.zeroHeight += view->h() <= 0;
    counts.zeroWidth += view->w() <= 0;
    matrices = frameMatrices();
    return what + (view->framesDrawn() > before ? ", then a frame" : "");
  }

  bool fail(const std::string& what, const std::string& why) {
    std::string steps;
    for (const std::string& line : history) steps += "\n    " + line;
    ADD_FAILURE() << words("random input: seed ", seed, ", event ", counts.events - 1, ": ", what, "\n  broken: ", why,
                           "\n  last steps:", steps, "\n  replay: MANNEQUIN_RANDOM_SEED=", seed,
                           " MANNEQUIN_RANDOM_EVENTS=", counts.events, " MANNEQUIN_RANDOM_TRACE=1");
    return false;
  }

  // The number the environment gives the name, or the fallback.
  static unsigned long long setting(const char* name, unsigned long long fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtoull(text, nullptr, 0) : fallback;
  }

  void run() {
    seed = setting("MANNEQUIN_RANDOM_SEED", kDefaultSeed);
    const long events = static_cast<long>(setting("MANNEQUIN_RANDOM_EVENTS", kDefaultEvents));
    ASSERT_GT(events, 0) << "MANNEQUIN_RANDOM_EVENTS";
    trace = setting("MANNEQUIN_RANDOM_TRACE", 0) != 0;
    rng = std::make_unique<Rng>(seed);
    for (const Segment* s : figure->segments())
      if (s->hasShape) bodies.push_back(s);
    matrices = frameMatrices();
    ASSERT_EQ(broken(), "");

    std::cout.setstate(std::ios::failbit);  // the camera's traces and the solver's lines
    bool sound = true;
    while (sound && counts.events < events) sound = step();
    std::cout.clear();
    std::printf("random input: seed %llu, %ld events: %ld handles created, %ld removed, %ld drag solves\n",
                static_cast<unsigned long long>(seed), counts.events, counts.created, counts.removed,
                counts.dragSolves);
    if (!sound || events < 10000) return;
    EXPECT_GE(counts.created, events / 400) << "seed " << seed;
    EXPECT_GE(counts.removed, events / 800) << "seed " << seed;
    EXPECT_GE(counts.dragSolves, events / 40) << "seed " << seed;
    EXPECT_GE(counts.zeroHeight, 1) << "seed " << seed;
    EXPECT_GE(counts.zeroWidth, 1) << "seed " << seed;
  }

  std::vector<const Segment*> bodies;
  uint64_t seed = kDefaultSeed;
  std::unique_ptr<Rng> rng;
  bool trace = false;
  // What a long run must have reached, or it proves little.
  struct {
    long events = 0, created = 0, removed = 0, dragSolves = 0, zeroHeight = 0, zeroWidth = 0;
  } counts;
  std::deque<std::string> history;
  int heldButtons = 0;
  bool shift = false;
  bool stopAtCentre = false;  // the last drag zoomed onto the camera's centre
  int pointerX = 0, pointerY = 0;

  FrameMatrices matrices{};
};

TEST_F(RandomInput, EveryEventLeavesTheFigureViewAndCameraSound) { run(); }

}  // namespace
