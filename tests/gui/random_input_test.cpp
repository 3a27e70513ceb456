// Seeded random input to the real window under a private X server: presses,
// drags, releases, keys, focus and crossing events and window resizes, with
// frames drawn in between, checking after every event that the pose, the
// handles, the camera and the view's state stay sound. The mouse is steered
// towards the figure and its handles so that handles are pinned, grabbed,
// dragged and removed and the solver runs thousands of times.
//
// MANNEQUIN_RANDOM_SEED picks the sequence, MANNEQUIN_RANDOM_EVENTS its
// length, MANNEQUIN_RANDOM_TRACE=1 prints every event. A failure names the
// seed and the event number; the same seed replays the same sequence.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <initializer_list>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "figure/Transform.h"
#include "ik_test_util.h"
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
    double total = 0.0;
    for (double w : weights) total += w;
    double r = unit() * total;
    int i = 0;
    for (double w : weights) {
      if (r < w) return i;
      r -= w;
      ++i;
    }
    return i - 1;
  }

 private:
  uint64_t state;
};

const char* modeName(int m) {
  static const char* const names[] = {"Idle", "CameraMove", "HandleDrag", "PickPending"};
  return m >= Idle && m <= PickPending ? names[m] : "invalid";
}

// Every joint transform of the figure, chains opened up; `inChain` tells
// whether the transform is an element of a chain.
struct JointPart {
  const Segment* segment;
  const Transform* transform;
  bool inChain;
};

std::vector<JointPart> jointParts(const Figure& figure) {
  std::vector<JointPart> parts;
  for (const Segment* s : figure.segments()) {
    const bool chain = dynamic_cast<const TransformChain*>(s->joint.get()) != nullptr;
    std::vector<const Transform*> elements;
    appendElements(*s->joint, elements);
    for (const Transform* t : elements) parts.push_back({s, t, chain});
  }
  return parts;
}

class RandomInput : public WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    parts = jointParts(*figure);
    for (Segment* s : figure->segments()) {
      if (s->hasShape) bodies.push_back(s);
    }
  }

  void TearDown() override {
    std::cout.clear();
    WindowFixture::TearDown();
  }

  // ---------------------------------------------------------- what happened

  // What a long run must have reached, or it proves little.
  struct Counts {
    long events = 0, created = 0, removed = 0, dragSolves = 0, zeroHeight = 0, zeroWidth = 0;
  };

  // One event with the state it met, kept for the failure report.
  std::string describe(long index, int event, int x, int y, int state, int key) const {
    // A digest of the pose, so that two traces show where they part.
    uint64_t pose = 1469598103934665603ULL;
    for (double d : figure->dofs()) {
      uint64_t bits;
      std::memcpy(&bits, &d, sizeof bits);
      pose = (pose ^ bits) * 1099511628211ULL;
    }
    char buf[280];
    std::snprintf(buf, sizeof buf,
                  "#%ld event %d x=%d y=%d state=0x%x key=0x%x view=%dx%d mode=%s handles=%d camera distance=%g "
                  "frames=%d pose=%08llx",
                  index, event, x, y, state, key, view->w(), view->h(),
                  modeName(view->mode), figure->handleCount(), view->camera->distance, view->framesDrawn(),
                  static_cast<unsigned long long>(pose & 0xffffffffULL));
    return buf;
  }

  void record(const std::string& line) {
    if (trace) std::fprintf(stderr, "%s\n", line.c_str());
    history.push_back(line);
    if (history.size() > 40) history.pop_front();
  }

  // ---------------------------------------------------------- invariants

  // The first broken rule, or empty. `solved`: a solve may have run.
  std::string brokenInvariant(bool solved) const {
    char buf[256];
    const std::vector<double> dofs = figure->dofs();
    for (size_t i = 0; i < dofs.size(); ++i) {
      if (!std::isfinite(dofs[i])) {
        std::snprintf(buf, sizeof buf, "DOF %zu is %g", i, dofs[i]);
        return buf;
      }
    }
    int perSegment = 0;
    for (const Segment* s : figure->segments()) perSegment += s->handleCount();
    if (perSegment != figure->handleCount()) {
      std::snprintf(buf, sizeof buf, "the figure lists %d handles, its segments %d", figure->handleCount(),
                    perSegment);
      return buf;
    }
    int n = 0;
    for (const HandleEntry& e : figure->handles) {
      if (!e.handle->worldPos.isFinite() || !e.handle->targetPos.isFinite()) {
        std::snprintf(buf, sizeof buf, "handle %d on %s: worldPos (%g %g %g) targetPos (%g %g %g)", n,
                      e.segment->name, e.handle->worldPos.x, e.handle->worldPos.y, e.handle->worldPos.z,
                      e.handle->targetPos.x, e.handle->targetPos.y, e.handle->targetPos.z);
        return buf;
      }
      ++n;
    }
    if (view->grabbedHandle && !figure->segmentOf(view->grabbedHandle)) {
      return "the grabbed handle is not on the figure";
    }
    const OrbitCamera& c = *view->camera;
    if (!std::isfinite(c.pitch) || !std::isfinite(c.yaw) || !std::isfinite(c.distance) ||
        !c.center.isFinite() || !c.eye.isFinite() || !c.up.isFinite()) {
      std::snprintf(buf, sizeof buf,
                    "camera pitch %g yaw %g distance %g center (%g %g %g) eye (%g %g %g) up (%g %g %g)",
                    c.pitch, c.yaw, c.distance, c.center.x, c.center.y, c.center.z, c.eye.x, c.eye.y, c.eye.z,
                    c.up.x, c.up.y, c.up.z);
      return buf;
    }
    for (const JointPart& p : parts) {
      if (const auto* hinge = dynamic_cast<const AxisRotation*>(p.transform)) {
        // A chain's hinges are always clamped; a segment's own only while
        // the figure's limits are on, and only once a solve has set it.
        const bool inForce = p.inChain || (solved && figure->limitsEnabled);
        if (inForce && !(hinge->lower <= hinge->angle && hinge->angle <= hinge->upper)) {
          std::snprintf(buf, sizeof buf, "hinge of %s%s at %.17g outside [%g, %g]", p.segment->name,
                        p.inChain ? " (in a chain)" : "", hinge->angle, hinge->lower, hinge->upper);
          return buf;
        }
      } else if (const auto* ball = dynamic_cast<const QuatRotation*>(p.transform)) {
        const Quat& q = ball->q;
        const double norm = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
        if (solved && !(std::abs(norm - 1.0) <= 1e-9)) {
          std::snprintf(buf, sizeof buf, "ball joint of %s: |q| = %.17g (%g %g %g %g)", p.segment->name, norm,
                        q.x, q.y, q.z, q.w);
          return buf;
        }
      }
    }
    return {};
  }

  // Whatever the view's size, a frame's projection is a finite matrix.
  std::string brokenProjection() const {
    for (int i = 0; i < 16; ++i) {
      if (!std::isfinite(matrices.projection[i])) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "projection element %d of the last frame is %g (view %dx%d)", i,
                      matrices.projection[i], view->w(), view->h());
        return buf;
      }
    }
    return {};
  }

  // ---------------------------------------------------------- aiming

  // The matrices of the last frame, as the view's picks see them.
  void readMatrices() { matrices = frameMatrices(); }

  // Toolkit coordinates of a figure point in the last frame.
  bool project(const Vec3& p, int& x, int& y) const {
    double w[3];
    if (!projectToWindow(matrices, p, w)) return false;
    if (!std::isfinite(w[0]) || !std::isfinite(w[1]) || std::abs(w[0]) > 1e6 || std::abs(w[1]) > 1e6)
      return false;
    x = nearestPixel(w[0]);
    y = view->h() - nearestPixel(w[1]);
    return true;
  }

  void anywhere(int& x, int& y) {
    x = rng->range(0, std::max(view->w() - 1, 0));
    y = rng->range(0, std::max(view->h() - 1, 0));
  }

  void onEdge(int& x, int& y) {
    anywhere(x, y);
    switch (rng->below(4)) {
      case 0:
        x = 0;
        break;
      case 1:
        y = 0;
        break;
      case 2:
        x = view->w();
        break;
      default:
        y = view->h();
        break;
    }
  }

  void outside(int& x, int& y) {
    anywhere(x, y);
    if (rng->chance(0.5)) {
      x = rng->chance(0.5) ? -rng->range(1, 300) : view->w() + rng->range(1, 300);
    } else {
      y = rng->chance(0.5) ? -rng->range(1, 300) : view->h() + rng->range(1, 300);
    }
  }

  // Near a handle, grabbing range (4 pixels) most of the time.
  bool nearHandle(int& x, int& y) {
    if (figure->handles.empty()) return false;
    auto it = figure->handles.begin();
    std::advance(it, rng->below(figure->handleCount()));
    if (!project(it->handle->worldPos, x, y)) return false;
    const int r = rng->chance(0.8) ? 3 : 6;
    x += rng->range(-r, r);
    y += rng->range(-r, r);
    return true;
  }

  // Near the centre of a body.
  bool onBody(int& x, int& y) {
    const Segment* s = bodies[rng->below(static_cast<int>(bodies.size()))];
    if (!project(bodyCentre(s), x, y)) return false;
    x += rng->range(-4, 4);
    y += rng->range(-4, 4);
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
    if (r < 0.85) {
      anywhere(x, y);
    } else if (r < 0.93) {
      onEdge(x, y);
    } else {
      outside(x, y);
    }
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
      x = pointerX + rng->range(-step, step);
      y = pointerY + rng->range(-step, step);
    } else if (r < 0.87) {
      anywhere(x, y);
    } else if (r < 0.94) {
      onEdge(x, y);
    } else {
      outside(x, y);
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

  // ---------------------------------------------------------- input

  // Sends one event with the held buttons and Shift as its state; the key
  // stays what the last event left unless `setKey`. Returns the event's
  // description, which the history keeps.
  std::string sendRecorded(int event, int x, int y, int key, bool setKey) {
    const int state = heldButtons | (shift ? FL_SHIFT : 0);
    const int keysym = setKey ? key : Fl::e_keysym;
    const std::string text = describe(counts.events, event, x, y, state, keysym);
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
    bool dragSolve = false;
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

    switch (action) {
      case Drag: {
        int x, y;
        dragPoint(x, y);
        const bool inside = 0 < x && x < view->w() && 0 < y && y < view->h();
        dragSolve = modeBefore == HandleDrag && grabbedBefore && inside;
        what = sendRecorded(FL_DRAG, x, y, 0, false);
        pointerX = x, pointerY = y;
        framing = 0.3;
        break;
      }
      case Release: {
        // Let go of one of the held buttons.
        int button;
        do {
          button = rng->range(1, 3);
        } while (!(heldButtons & buttonMask(button)));
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
      case ShiftKey:
        what = shiftKey();
        break;
      case Crossing:
        what = crossing();
        break;
      case Wheel:
        what = wheel();
        break;
      case Resize:
      case Grow:
        what = resize(action == Grow);
        break;
    }
    // The loop run after a resize draws a frame, which may run a pending pick.
    const bool resized = action == Resize || action == Grow;
    const bool removalSolve = resized && modeBefore == PickPending && figure->handleCount() < handlesBefore;
    if (dragSolve) ++counts.dragSolves;
    if (std::string broken = brokenInvariant(dragSolve || removalSolve); !broken.empty())
      return fail(what, broken);
    if (resized) {
      if (std::string broken = brokenProjection(); !broken.empty()) return fail(what, broken);
    }

    if (rng->chance(framing)) {
      const int pendingBefore = view->mode == PickPending;
      const int countBefore = figure->handleCount();
      drawFrame();
      record("   frame");
      const bool removal = pendingBefore && figure->handleCount() < countBefore;
      if (std::string broken = brokenInvariant(removal); !broken.empty()) {
        return fail(what + ", then a frame", broken);
      }
      readMatrices();
      if (std::string broken = brokenProjection(); !broken.empty())
        return fail(what + ", then a frame", broken);
    }

    const int now = figure->handleCount();
    if (now > handlesBefore) counts.created += now - handlesBefore;
    if (now < handlesBefore) counts.removed += handlesBefore - now;
    return true;
  }

  std::string press() {
    // Right presses, which remove handles, grow likelier with their number.
    const double right = 8 + 5 * figure->handleCount();
    int button;
    do {
      button = 1 + rng->weighted({55, 12, right});
    } while (heldButtons & buttonMask(button));
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
    int k;
    const double r = rng->unit();
    if (r < 0.55) {
      k = programKeys[rng->below(7)];
    } else if (r < 0.70) {
      k = 'a' + rng->below(26);
    } else if (r < 0.78) {
      k = '0' + rng->below(10);
    } else if (r < 0.88) {
      k = FL_F + rng->range(1, 12);
    } else {
      k = otherKeys[rng->below(static_cast<int>(sizeof otherKeys / sizeof otherKeys[0]))];
    }
    static char text[2];
    text[0] = k < 0x80 ? static_cast<char>(shift && k >= 'a' && k <= 'z' ? k - 32 : k) : 0;
    Fl::e_text = text;
    Fl::e_length = text[0] ? 1 : 0;
    std::string what = sendRecorded(FL_KEYBOARD, pointerX, pointerY, k, true);
    if (rng->chance(0.85)) what += "; " + sendRecorded(FL_KEYUP, pointerX, pointerY, k, true);
    return what;
  }

  // Shift goes down or up; like the X server, the event carries the state
  // from before it.
  std::string shiftKey() {
    static char text[1] = {0};
    Fl::e_text = text;
    Fl::e_length = 0;
    const bool down = !shift;
    const std::string what =
        sendRecorded(down ? FL_KEYBOARD : FL_KEYUP, pointerX, pointerY, FL_Shift_L, true);
    shift = down;
    return what;
  }

  std::string crossing() {
    static const int events[] = {FL_ENTER, FL_LEAVE, FL_FOCUS, FL_UNFOCUS};
    const int e = events[rng->below(4)];
    return sendRecorded(e, pointerX, pointerY, 0, false);
  }

  std::string wheel() {
    Fl::e_dx = 0;
    Fl::e_dy = rng->chance(0.5) ? 1 : -1;
    return sendRecorded(FL_MOUSEWHEEL, pointerX, pointerY, 0, false);
  }

  // The window goes down to no width or no height (the view then to none or
  // less) and back up; the toolkit's loop runs once after it.
  std::string resize(bool growing) {
    int w, h;
    const double r = growing ? 0.5 + 0.5 * rng->unit() : rng->unit();
    if (r < 0.25) {
      w = rng->range(0, 1000), h = rng->chance(0.5) ? 0 : 1;
    } else if (r < 0.40) {
      w = rng->chance(0.5) ? 0 : 4, h = rng->range(0, 760);
    } else if (r < 0.50) {
      w = rng->range(0, 4), h = rng->range(0, 1);
    } else if (r < 0.80) {
      w = 694, h = 666;
    } else {
      w = rng->range(100, 1000), h = rng->range(100, 760);
    }
    app->window->size(w, h);
    char buf[64];
    std::snprintf(buf, sizeof buf, "#%ld resize window to %dx%d", counts.events, w, h);
    record(std::string(buf) + " (view " + std::to_string(view->w()) + "x" + std::to_string(view->h()) + ")");
    const int before = view->framesDrawn();
    Fl::wait(0);
    ++counts.events;
    if (view->h() <= 0) ++counts.zeroHeight;
    if (view->w() <= 0) ++counts.zeroWidth;
    readMatrices();
    return std::string(buf) + (view->framesDrawn() > before ? ", then a frame" : "");
  }

  bool fail(const std::string& what, const std::string& broken) {
    std::fprintf(stderr, "\nrandom input: seed %llu, event %ld: %s\n  broken: %s\n  last steps:\n",
                 static_cast<unsigned long long>(seed), counts.events - 1, what.c_str(), broken.c_str());
    for (const std::string& line : history) std::fprintf(stderr, "    %s\n", line.c_str());
    std::fprintf(
        stderr, "  replay: MANNEQUIN_RANDOM_SEED=%llu MANNEQUIN_RANDOM_EVENTS=%ld MANNEQUIN_RANDOM_TRACE=1\n",
        static_cast<unsigned long long>(seed), counts.events);
    std::fflush(stderr);
    ADD_FAILURE() << "seed " << seed << ", event " << counts.events - 1 << " (" << what << "): " << broken;
    return false;
  }

  void run() {
    const char* seedText = std::getenv("MANNEQUIN_RANDOM_SEED");
    const char* eventsText = std::getenv("MANNEQUIN_RANDOM_EVENTS");
    const char* traceText = std::getenv("MANNEQUIN_RANDOM_TRACE");
    seed = seedText && *seedText ? std::strtoull(seedText, nullptr, 0) : kDefaultSeed;
    const long events = eventsText && *eventsText ? std::strtol(eventsText, nullptr, 0) : kDefaultEvents;
    ASSERT_GT(events, 0) << "MANNEQUIN_RANDOM_EVENTS";
    trace = traceText && *traceText && *traceText != '0';
    rng = std::make_unique<Rng>(seed);

    std::cout.setstate(std::ios::failbit);  // the camera's traces and the solver's lines
    readMatrices();
    bool sound = brokenInvariant(false).empty();
    ASSERT_TRUE(sound) << brokenInvariant(false);
    while (sound && counts.events < events) sound = step();
    std::cout.clear();
    std::printf("random input: seed %llu, %ld events: %ld handles created, %ld removed, %ld drag solves\n",
                static_cast<unsigned long long>(seed), counts.events, counts.created, counts.removed,
                counts.dragSolves);
    if (!sound) return;

    if (events >= 10000) {
      EXPECT_GE(counts.created, events / 400) << "seed " << seed;
      EXPECT_GE(counts.removed, events / 800) << "seed " << seed;
      EXPECT_GE(counts.dragSolves, events / 40) << "seed " << seed;
      EXPECT_GE(counts.zeroHeight, 1) << "seed " << seed;
      EXPECT_GE(counts.zeroWidth, 1) << "seed " << seed;
    }
  }

  std::vector<JointPart> parts;
  std::vector<const Segment*> bodies;

  uint64_t seed = kDefaultSeed;
  std::unique_ptr<Rng> rng;
  bool trace = false;
  Counts counts;
  std::deque<std::string> history;

  int heldButtons = 0;
  bool shift = false;
  bool stopAtCentre = false;  // the last drag zoomed onto the camera's centre
  int pointerX = 0, pointerY = 0;

  FrameMatrices matrices{};
};

TEST_F(RandomInput, EveryEventLeavesTheFigureViewAndCameraSound) { run(); }

}  // namespace
