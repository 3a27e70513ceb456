// The real window, scene and view under a private X server, driven by
// synthetic toolkit events: what a user's presses, drags and keys do to the
// figure, its handles, the camera and the frames drawn.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "window_fixture.h"

namespace {

struct FrameMatrices {
  GLint viewport[4];
  GLdouble projection[16];
  GLdouble modelview[16];
};

// A point in toolkit coordinates of the view (y down) with its window depth.
struct ViewPoint {
  double x, y, depth;
};

struct Rgb {
  int r, g, b;
};

bool isMagenta(Rgb c) { return c.r > 20 && c.b > 20 && c.g < c.r / 2 && std::abs(c.r - c.b) < 8; }
bool isGreen(Rgb c) { return c.g > 20 && c.r < 8 && c.b < 8; }
bool isBlack(Rgb c) { return c.r == 0 && c.g == 0 && c.b == 0; }

// The segment's world matrix in the current pose, built from the frame rule
// from the root down.
Mat4 worldOf(const Segment* s) { return Figure::frame(s->parent ? worldOf(s->parent) : Mat4(), *s); }

// The centre of the segment's body.
Vec3 bodyCentre(const Segment* s) { return transformPoint(worldOf(s) * s->shape, Vec3()); }

// 0.5 for a point on the segment's body surface.
double bodyRadius(const Segment* s, const Vec3& p) {
  return length(transformPoint((worldOf(s) * s->shape).inverse(), p));
}

// The whole pixel nearest a toolkit coordinate.
int pixel(double v) { return static_cast<int>(std::lround(v)); }

double distance(const Vec3& a, const Vec3& b) { return length(a - b); }

bool allFinite(const std::vector<double>& v) {
  return std::all_of(v.begin(), v.end(), [](double d) { return std::isfinite(d); });
}

double maxDifference(const std::vector<double>& a, const std::vector<double>& b) {
  double m = 0.0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) m = std::max(m, std::abs(a[i] - b[i]));
  return m;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// What f prints on standard output.
template <typename F>
std::string printedBy(F f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

class GuiTest : public WindowFixture {
 protected:
  static int buttonMask(int button) {
    return button == FL_LEFT_MOUSE ? FL_BUTTON1 : button == FL_MIDDLE_MOUSE ? FL_BUTTON2 : FL_BUTTON3;
  }

  int send(int event, int x, int y, int state, int keysym) {
    Fl::e_x = Fl::e_x_root = x;
    Fl::e_y = Fl::e_y_root = y;
    Fl::e_state = state;
    Fl::e_keysym = keysym;
    return view->handle(event);
  }
  void press(int button, int x, int y, int modifiers = 0) {
    send(FL_PUSH, x, y, modifiers | buttonMask(button), FL_Button + button);
  }
  void drag(int button, int x, int y, int modifiers = 0) {
    send(FL_DRAG, x, y, modifiers | buttonMask(button), FL_Button + button);
  }
  void release(int button, int x, int y, int modifiers = 0) {
    send(FL_RELEASE, x, y, modifiers, FL_Button + button);
  }
  void typeKey(char c) {
    static char text[2];
    text[0] = c;
    Fl::e_text = text;
    Fl::e_length = 1;
    send(FL_KEYBOARD, view->w() / 2, view->h() / 2, 0, c);
    send(FL_KEYUP, view->w() / 2, view->h() / 2, 0, c);
  }

  // Draws exactly one frame through the toolkit, swap included.
  void drawFrame() {
    view->redraw();
    Fl::flush();
  }

  // Draws one frame and reads it back before the swap.
  std::vector<unsigned char> drawAndRead() {
    view->make_current();
    view->draw();
    const int w = view->w(), h = view->h();
    std::vector<unsigned char> pixels(static_cast<size_t>(std::max(w, 1)) * std::max(h, 1) * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    view->swap_buffers();
    return pixels;
  }

  // The colour at toolkit pixel (x, y) of pixels read by drawAndRead.
  Rgb pixelAt(const std::vector<unsigned char>& pixels, int x, int y) const {
    const int row = view->h() - 1 - y;
    const size_t i = (static_cast<size_t>(row) * view->w() + x) * 3;
    return {pixels[i], pixels[i + 1], pixels[i + 2]};
  }

  int countNear(const std::vector<unsigned char>& pixels, const ViewPoint& p, int radius,
                bool (*test)(Rgb)) const {
    int n = 0;
    for (int y = int(p.y) - radius; y <= int(p.y) + radius; ++y) {
      for (int x = int(p.x) - radius; x <= int(p.x) + radius; ++x) {
        if (x >= 0 && y >= 0 && x < view->w() && y < view->h() && test(pixelAt(pixels, x, y))) ++n;
      }
    }
    return n;
  }

  int countAll(const std::vector<unsigned char>& pixels, bool (*test)(Rgb)) const {
    int n = 0;
    for (int y = 0; y < view->h(); ++y) {
      for (int x = 0; x < view->w(); ++x) n += test(pixelAt(pixels, x, y));
    }
    return n;
  }

  // The matrices the last frame left in the view's context.
  FrameMatrices frameMatrices() {
    view->make_current();
    FrameMatrices m;
    glGetIntegerv(GL_VIEWPORT, m.viewport);
    glGetDoublev(GL_PROJECTION_MATRIX, m.projection);
    glGetDoublev(GL_MODELVIEW_MATRIX, m.modelview);
    return m;
  }

  // Where a figure point shows in the last frame.
  ViewPoint project(const Vec3& p) {
    const FrameMatrices m = frameMatrices();
    double wx = NAN, wy = NAN, wz = NAN;
    EXPECT_EQ(gluProject(p.x, p.y, p.z, m.modelview, m.projection, m.viewport, &wx, &wy, &wz), GL_TRUE);
    return {wx, view->h() - wy, wz};
  }

  // The figure point at toolkit (x, y) and window depth in the last frame.
  Vec3 unproject(double x, double y, double depth) {
    const FrameMatrices m = frameMatrices();
    double px = NAN, py = NAN, pz = NAN;
    EXPECT_EQ(gluUnProject(x, view->h() - y, depth, m.modelview, m.projection, m.viewport, &px, &py, &pz),
              GL_TRUE);
    return Vec3(float(px), float(py), float(pz));
  }

  Segment* segment(const char* name) {
    Segment* s = figure->findSegment(name);
    EXPECT_NE(s, nullptr) << name;
    return s;
  }

  // Clicks at (x, y) with a frame between press and release, as a live
  // event loop draws one there; returns the new handle or null.
  Handle* pinAt(int x, int y) {
    const int before = figure->handleCount();
    press(FL_LEFT_MOUSE, x, y);
    drawFrame();
    release(FL_LEFT_MOUSE, x, y);
    drawFrame();
    if (figure->handleCount() != before + 1) return nullptr;
    return figure->handles.back().handle;
  }
  // Pins a handle on the named body and sets its target a little away
  // (0.05 up, 0.05 forward), so that a solve has something to relax.
  Handle* pinOffTarget(const char* name) {
    Handle* h = pinOn(name);
    if (h) h->targetPos = h->worldPos + Vec3(0, 0.05f, 0.05f);
    return h;
  }
  // Clicks at the pixel nearest the centre of the named body.
  Handle* pinOn(const char* name) {
    const ViewPoint p = project(bodyCentre(segment(name)));
    return pinAt(pixel(p.x), pixel(p.y));
  }

  // The index of the segment's first DOF: pre-order numbering.
  int firstDof(const Segment* target) const {
    int n = 0;
    for (const Segment* s : figure->segments()) {
      if (s == target) return n;
      n += s->joint->dofCount();
    }
    return -1;
  }

  // What the camera's look-at and the figure's scale make, built here
  // rather than read from the view.
  std::vector<double> expectedModelview() {
    const OrbitCamera& c = *view->camera;
    view->make_current();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    gluLookAt(c.eye.x, c.eye.y, c.eye.z, c.center.x, c.center.y, c.center.z, c.up.x, c.up.y, c.up.z);
    glScaled(5, 5, 5);
    std::vector<double> m(16);
    glGetDoublev(GL_MODELVIEW_MATRIX, m.data());
    glPopMatrix();
    return m;
  }

  // Presses on a handle, drags through the given points and releases, with
  // a frame after each step as a live loop draws them; returns stdout.
  std::string dragHandle(Handle* h, const std::vector<std::pair<int, int>>& path) {
    const ViewPoint p = project(h->worldPos);
    const int x = pixel(p.x), y = pixel(p.y);
    press(FL_LEFT_MOUSE, x, y);
    EXPECT_EQ(view->mode, HandleDrag);
    EXPECT_EQ(view->grabbedHandle, h);
    drawFrame();
    std::string out;
    for (const auto& step : path) {
      out += printedBy([&] { drag(FL_LEFT_MOUSE, step.first, step.second); });
      drawFrame();
    }
    const auto& end = path.empty() ? std::make_pair(x, y) : path.back();
    release(FL_LEFT_MOUSE, end.first, end.second);
    drawFrame();
    return out;
  }
};

// ---------------------------------------------------------------- first frame

using FirstFrame = GuiTest;

TEST_F(FirstFrame, UsesTheWholeViewAndTheCamera) {
  EXPECT_EQ(app->window->w(), 694);
  EXPECT_EQ(app->window->h(), 666);
  EXPECT_EQ(view->x(), 0);
  EXPECT_EQ(view->y(), 0);
  EXPECT_EQ(view->w(), 690);
  EXPECT_EQ(view->h(), 665);

  const FrameMatrices m = frameMatrices();
  EXPECT_EQ(m.viewport[0], 0);
  EXPECT_EQ(m.viewport[1], 0);
  EXPECT_EQ(m.viewport[2], 690);
  EXPECT_EQ(m.viewport[3], 665);

  // A 45 degree field of view, the view's aspect ratio, near 1 and far 100.
  const double f = 1.0 / std::tan(M_PI / 8);
  EXPECT_NEAR(m.projection[0], f * 665.0 / 690.0, 1e-6);
  EXPECT_NEAR(m.projection[5], f, 1e-6);
  EXPECT_NEAR(m.projection[10], -101.0 / 99.0, 1e-6);
  EXPECT_NEAR(m.projection[14], -200.0 / 99.0, 1e-6);

  // The camera's look-at followed by the figure's scale of 5.
  const std::vector<double> expected = expectedModelview();
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.modelview[i], expected[i], 1e-5) << i;
}

TEST_F(FirstFrame, ShowsTheMagentaFigureOnBlack) {
  const std::vector<unsigned char> pixels = drawAndRead();
  EXPECT_TRUE(isBlack(pixelAt(pixels, 0, 0)));
  EXPECT_TRUE(isBlack(pixelAt(pixels, view->w() - 1, view->h() - 1)));
  EXPECT_GT(countAll(pixels, isMagenta), 5000);
  for (const char* name : {"h_thigh_left", "h_abdomen", "root"}) {
    const ViewPoint p = project(bodyCentre(segment(name)));
    EXPECT_TRUE(isMagenta(pixelAt(pixels, int(p.x), int(p.y)))) << name;
  }
  // No handles yet: nothing green but the triad's y axis.
  EXPECT_EQ(figure->handleCount(), 0);
}

TEST_F(FirstFrame, DrawsTheTriadAtTheCameraCentre) {
  // Pan the centre off the figure, where nothing hides the triad.
  printedBy([this] {
    press(FL_MIDDLE_MOUSE, 300, 300, FL_SHIFT);
    drag(FL_MIDDLE_MOUSE, 200, 300, FL_SHIFT);
    release(FL_MIDDLE_MOUSE, 200, 300, FL_SHIFT);
  });
  drawFrame();
  const std::vector<unsigned char> pixels = drawAndRead();
  // The triad is drawn before the figure's scale: figure units are a fifth.
  const Vec3 c = view->camera->center * 0.2;
  const Rgb x = pixelAt(pixels, int(project(c + Vec3(0.1f, 0, 0)).x), int(project(c + Vec3(0.1f, 0, 0)).y));
  const Rgb y = pixelAt(pixels, int(project(c + Vec3(0, 0.1f, 0)).x), int(project(c + Vec3(0, 0.1f, 0)).y));
  const Rgb z = pixelAt(pixels, int(project(c + Vec3(0, 0, 0.1f)).x), int(project(c + Vec3(0, 0, 0.1f)).y));
  EXPECT_TRUE(x.r > 0 && x.g == 0 && x.b == 0) << x.r << " " << x.g << " " << x.b;
  EXPECT_TRUE(y.g > 0 && y.r == 0 && y.b == 0) << y.r << " " << y.g << " " << y.b;
  EXPECT_TRUE(z.b > 0 && z.r == 0 && z.g == 0) << z.r << " " << z.g << " " << z.b;
}

// ---------------------------------------------------------------- pinning

using Pinning = GuiTest;

TEST_F(Pinning, LeftClickPinsAHandleOnTheBodyUnderThePointer) {
  for (const char* name : {"h_thigh_left", "h_head", "h_abdomen", "h_shin_right"}) {
    SCOPED_TRACE(name);
    Segment* s = segment(name);
    const ViewPoint aim = project(bodyCentre(s));
    const int x = pixel(aim.x), y = pixel(aim.y);
    const int before = figure->handleCount();

    press(FL_LEFT_MOUSE, x, y);
    EXPECT_EQ(view->mode, PickPending);
    EXPECT_EQ(figure->handleCount(), before) << "the pick waits for the next frame";
    drawFrame();
    release(FL_LEFT_MOUSE, x, y);
    drawFrame();

    ASSERT_EQ(figure->handleCount(), before + 1);
    Handle* h = figure->handles.back().handle;
    EXPECT_EQ(figure->segmentOf(h), s);
    ASSERT_EQ(s->handleCount(), 1);
    EXPECT_EQ(s->handles.front(), h);
    // On that body's surface, in front, exactly under the pointer.
    EXPECT_NEAR(bodyRadius(s, h->worldPos), 0.5, 1e-3);
    const ViewPoint shown = project(h->worldPos);
    EXPECT_NEAR(shown.x, x, 0.01);
    EXPECT_NEAR(shown.y, y, 0.01);
    EXPECT_LT(shown.depth, aim.depth);
    EXPECT_EQ(view->mode, Idle);
  }
}

TEST_F(Pinning, PinnedHandleShowsAsAGreenPoint) {
  Handle* h = pinOn("h_thigh_left");
  ASSERT_NE(h, nullptr);
  const std::vector<unsigned char> pixels = drawAndRead();
  const ViewPoint p = project(h->worldPos);
  // A square point of 4 pixels a side, on the lit magenta body.
  EXPECT_EQ(countNear(pixels, p, 2, isGreen), 16);
  EXPECT_EQ(countNear(pixels, p, 4, isGreen), 16);
  EXPECT_EQ(countNear(pixels, p, 4, isMagenta), 81 - 16);
}

TEST_F(Pinning, PressBeforeTheFirstFramePicksAtThatFrame) {
  // Aim with this view, then press in a fresh one that has not drawn yet:
  // both show the same initial frame.
  const ViewPoint aim = project(bodyCentre(segment("h_thigh_left")));
  const int x = pixel(aim.x), y = pixel(aim.y);
  app.reset();
  scene = std::make_unique<Scene>();
  app = std::make_unique<AppWindow>(scene.get());
  view = app->view;
  figure = scene->figure.get();
  ASSERT_EQ(view->framesDrawn(), 0);
  press(FL_LEFT_MOUSE, x, y);
  EXPECT_EQ(view->mode, PickPending);
  EXPECT_EQ(view->grabbedHandle, nullptr);
  app->show();
  waitForFirstFrame();
  ASSERT_GT(view->framesDrawn(), 0);
  EXPECT_EQ(figure->handleCount(), 1);
  EXPECT_EQ(segment("h_thigh_left")->handleCount(), 1);
}

TEST_F(Pinning, MissingTheBodyPinsNothing) {
  press(FL_LEFT_MOUSE, 5, 600);
  drawFrame();
  release(FL_LEFT_MOUSE, 5, 600);
  drawFrame();
  EXPECT_EQ(figure->handleCount(), 0);
}

TEST_F(Pinning, RightClickOnTheBodyPinsNothing) {
  const ViewPoint aim = project(bodyCentre(segment("h_thigh_left")));
  press(FL_RIGHT_MOUSE, int(aim.x), int(aim.y));
  drawFrame();
  release(FL_RIGHT_MOUSE, int(aim.x), int(aim.y));
  drawFrame();
  EXPECT_EQ(figure->handleCount(), 0);
}

TEST_F(Pinning, DragBeforeTheNextFrameCancelsThePick) {
  const ViewPoint aim = project(bodyCentre(segment("h_thigh_left")));
  const int x = pixel(aim.x), y = pixel(aim.y);
  press(FL_LEFT_MOUSE, x, y);
  drag(FL_LEFT_MOUSE, x + 1, y);
  EXPECT_EQ(view->mode, Idle);
  drawFrame();
  release(FL_LEFT_MOUSE, x + 1, y);
  drawFrame();
  EXPECT_EQ(figure->handleCount(), 0);
  EXPECT_EQ(segment("h_thigh_left")->handleCount(), 0);
}

TEST_F(Pinning, ClickOnAHandlePinsNoSecondOne) {
  Handle* h = pinOn("h_thigh_left");
  ASSERT_NE(h, nullptr);
  const ViewPoint p = project(h->worldPos);
  press(FL_LEFT_MOUSE, pixel(p.x), pixel(p.y));
  EXPECT_EQ(view->mode, HandleDrag);
  drawFrame();
  release(FL_LEFT_MOUSE, pixel(p.x), pixel(p.y));
  drawFrame();
  EXPECT_EQ(figure->handleCount(), 1);
}

// ---------------------------------------------------------------- dragging

using HandleDragging = GuiTest;

// The path of a drag: `steps` equal steps from (x, y) by (dx, dy) each.
std::vector<std::pair<int, int>> path(double x, double y, int dx, int dy, int steps) {
  std::vector<std::pair<int, int>> p;
  for (int i = 1; i <= steps; ++i) p.emplace_back(pixel(x) + i * dx, pixel(y) + i * dy);
  return p;
}

// Only solver iterations beyond the quiet ones may print, at most ten a solve.
void expectOnlyIterationLines(const std::string& out, int solves) {
  int brem = 0;
  for (const std::string& line : lines(out)) {
    EXPECT_EQ(line, "brem");
    brem += line == "brem";
  }
  EXPECT_LE(brem, 10 * solves);
}

TEST_F(HandleDragging, PressOnAHandleGrabsItAtItsDepth) {
  Handle* h = pinOn("h_forearm_left");
  ASSERT_NE(h, nullptr);
  const ViewPoint p = project(h->worldPos);
  // Anywhere within 4 pixels grabs it.
  press(FL_LEFT_MOUSE, pixel(p.x) + 3, pixel(p.y) - 3);
  EXPECT_EQ(view->mode, HandleDrag);
  EXPECT_EQ(view->grabbedHandle, h);
  EXPECT_NEAR(view->grabDepth, p.depth, 1e-6);
  release(FL_LEFT_MOUSE, pixel(p.x) + 3, pixel(p.y) - 3);
  EXPECT_EQ(view->mode, Idle);
  EXPECT_EQ(view->grabbedHandle, nullptr);
}

TEST_F(HandleDragging, HandleFollowsThePointerAndPosesTheFigure) {
  typeKey('3');
  Segment* forearm = segment("h_forearm_left");
  Handle* h = pinOn("h_forearm_left");
  ASSERT_NE(h, nullptr);
  const std::vector<double> before = figure->dofs();
  const ViewPoint start = project(h->worldPos);
  const int x = pixel(start.x), y = pixel(start.y);

  press(FL_LEFT_MOUSE, x, y);
  const double depth = view->grabDepth;
  drawFrame();
  for (int i = 1; i <= 10; ++i) {
    SCOPED_TRACE(testing::Message() << "step " << i);
    const int px = x + 3 * i, py = y - 2 * i;
    const std::vector<double> was = figure->dofs();
    const std::string out = printedBy([&] { drag(FL_LEFT_MOUSE, px, py); });
    expectOnlyIterationLines(out, 1);
    // The pointer's unprojection at the grabbed depth is the target.
    EXPECT_LT(distance(h->targetPos, unproject(px, py, depth)), 1e-4);
    EXPECT_GT(maxDifference(was, figure->dofs()), 1e-6);
    EXPECT_EQ(view->lastX, px);
    EXPECT_EQ(view->lastY, view->h() - py);
    // The handle stays on its body and its record follows the new pose.
    EXPECT_LT(distance(h->worldPos, transformPoint(worldOf(forearm), h->localPos)), 1e-4);
    drawFrame();
    const ViewPoint now = project(h->worldPos);
    EXPECT_LT(std::hypot(now.x - px, now.y - py), 1.0);
  }
  release(FL_LEFT_MOUSE, x + 30, y - 20);
  drawFrame();

  EXPECT_EQ(figure->segmentOf(h), forearm);
  EXPECT_EQ(figure->handleCount(), 1);
  EXPECT_TRUE(allFinite(figure->dofs()));
  EXPECT_GT(maxDifference(before, figure->dofs()), 0.01);
  // The green point is drawn where the pointer let go.
  const std::vector<unsigned char> pixels = drawAndRead();
  EXPECT_GE(countNear(pixels, ViewPoint{double(x + 30), double(y - 20), 0}, 3, isGreen), 9);
  EXPECT_EQ(countNear(pixels, start, 3, isGreen), 0);
}

TEST_F(HandleDragging, ANewHandleStaysPinnedWhereItWasPlaced) {
  Handle* head = pinOn("h_head");
  ASSERT_NE(head, nullptr);
  const Vec3 placed = head->worldPos;
  EXPECT_EQ(head->targetPos.x, placed.x);
  EXPECT_EQ(head->targetPos.y, placed.y);
  EXPECT_EQ(head->targetPos.z, placed.z);
  Handle* hand = pinOn("h_forearm_left");
  ASSERT_NE(hand, nullptr);
  const ViewPoint p = project(hand->worldPos);
  typeKey('3');
  dragHandle(hand, path(p.x, p.y, 3, -2, 10));
  // The head was never dragged, yet it stays where it was pinned instead of
  // being pulled towards the world origin at the feet.
  EXPECT_LT(distance(head->worldPos, placed), 0.05);
}

TEST_F(HandleDragging, CoarserTolerancesFollowMoreLoosely) {
  // How far the handle trails the pointer after ten steps of 3.6 pixels.
  auto trail = [this](char key) {
    typeKey(key);
    Handle* h = pinOn("h_forearm_left");
    EXPECT_NE(h, nullptr);
    if (!h) return -1.0;
    const ViewPoint p = project(h->worldPos);
    const auto steps = path(p.x, p.y, 3, -2, 10);
    dragHandle(h, steps);
    const ViewPoint now = project(h->worldPos);
    const double gap = std::hypot(now.x - steps.back().first, now.y - steps.back().second);
    EXPECT_GT(std::hypot(now.x - p.x, now.y - p.y), 10.0) << key;
    // Unpin it again for the next round.
    press(FL_RIGHT_MOUSE, pixel(now.x), pixel(now.y));
    drawFrame();
    release(FL_RIGHT_MOUSE, pixel(now.x), pixel(now.y));
    EXPECT_EQ(figure->handleCount(), 0);
    return gap;
  };
  const double coarse = trail('1');
  const double medium = trail('2');
  const double fine = trail('3');
  EXPECT_LT(coarse, 25.0);
  EXPECT_LT(medium, coarse);
  EXPECT_LT(fine, medium);
  EXPECT_LT(fine, 1.0);
}

TEST_F(HandleDragging, DragsOnTheEdgeOrOutsideRunNoSolve) {
  typeKey('3');
  Handle* h = pinOn("h_forearm_left");
  ASSERT_NE(h, nullptr);
  const ViewPoint p = project(h->worldPos);
  const int x = pixel(p.x), y = pixel(p.y);
  press(FL_LEFT_MOUSE, x, y);
  ASSERT_EQ(view->mode, HandleDrag);
  const int w = view->w(), ht = view->h();
  const std::vector<double> pose = figure->dofs();
  const Vec3 target = h->targetPos;
  const Vec3 at = h->worldPos;
  for (const auto& q : std::vector<std::pair<int, int>>{
           {0, y}, {x, 0}, {0, 0}, {-7, y}, {x, -7}, {w, y}, {x, ht}, {w + 20, ht + 20}}) {
    SCOPED_TRACE(testing::Message() << q.first << "," << q.second);
    drag(FL_LEFT_MOUSE, q.first, q.second);
    EXPECT_EQ(figure->dofs(), pose);
    EXPECT_EQ(h->targetPos.x, target.x);
    EXPECT_EQ(h->targetPos.y, target.y);
    EXPECT_EQ(h->targetPos.z, target.z);
    EXPECT_EQ(h->worldPos.x, at.x);
    EXPECT_EQ(view->lastX, q.first);
    EXPECT_EQ(view->lastY, ht - q.second);
    EXPECT_EQ(view->mode, HandleDrag);
    drawFrame();
  }
  // Back inside, the drag solves again.
  const std::string out = printedBy([&] { drag(FL_LEFT_MOUSE, x + 5, y + 5); });
  EXPECT_NE(figure->dofs(), pose);
  expectOnlyIterationLines(out, 1);
  release(FL_LEFT_MOUSE, x + 5, y + 5);
}

TEST_F(HandleDragging, DragAfterReleaseMovesNothing) {
  Handle* h = pinOn("h_forearm_left");
  ASSERT_NE(h, nullptr);
  const ViewPoint p = project(h->worldPos);
  const int x = pixel(p.x), y = pixel(p.y);
  press(FL_LEFT_MOUSE, x, y);
  release(FL_LEFT_MOUSE, x, y);
  const std::vector<double> pose = figure->dofs();
  drag(FL_LEFT_MOUSE, x + 20, y + 20);
  drawFrame();
  EXPECT_EQ(figure->dofs(), pose);
  EXPECT_EQ(figure->handleCount(), 1);
}

// A right press away from every handle while the left button holds one lets
// go of it and keeps the drag: the drags that follow solve with no dragged
// handle, which relaxes the figure towards the handles' targets.
TEST_F(HandleDragging, RightPressAwayFromHandlesLetsGoAndRelaxes) {
  typeKey('3');
  Handle* forearm = pinOffTarget("h_forearm_left");
  Handle* shin = pinOn("h_shin_right");
  ASSERT_NE(forearm, nullptr);
  ASSERT_NE(shin, nullptr);
  const double gap = distance(forearm->worldPos, forearm->targetPos);
  const Vec3 shinTarget = shin->targetPos;
  const ViewPoint p = project(shin->worldPos);
  press(FL_LEFT_MOUSE, pixel(p.x), pixel(p.y));
  ASSERT_EQ(view->grabbedHandle, shin);
  drawFrame();

  press(FL_RIGHT_MOUSE, 20, 20);  // the background, far from both handles
  EXPECT_EQ(view->mode, HandleDrag);
  EXPECT_EQ(view->grabbedHandle, nullptr);
  const std::string out = printedBy([this] { drag(FL_RIGHT_MOUSE, 30, 30); });
  drawFrame();

  EXPECT_LT(distance(forearm->worldPos, forearm->targetPos), 0.5 * gap);
  EXPECT_EQ(std::memcmp(&shin->targetPos, &shinTarget, sizeof(Vec3)), 0) << "no handle is dragged";
  EXPECT_EQ(out.find("YOU suck"), std::string::npos);
  release(FL_RIGHT_MOUSE, 30, 30);
  EXPECT_EQ(view->mode, Idle);
}

TEST_F(HandleDragging, FailedUnprojectionIsReportedAndKeepsTheTarget) {
  Handle* h = pinOn("h_forearm_left");
  ASSERT_NE(h, nullptr);
  const ViewPoint p = project(h->worldPos);
  const int x = pixel(p.x), y = pixel(p.y);
  // Zoom onto the centre itself: the next frame's look-at is singular.
  printedBy([this] {
    press(FL_RIGHT_MOUSE, 600, 400, FL_SHIFT);
    drag(FL_RIGHT_MOUSE, 600, 300, FL_SHIFT);
    drag(FL_RIGHT_MOUSE, 600, 200, FL_SHIFT);
    release(FL_RIGHT_MOUSE, 600, 200, FL_SHIFT);
  });
  ASSERT_EQ(view->camera->distance, 0.0f);
  // Grab with the last good frame, then draw the degenerate one.
  press(FL_LEFT_MOUSE, x, y);
  ASSERT_EQ(view->grabbedHandle, h);
  drawFrame();
  const Vec3 target = h->targetPos;
  const std::string out = printedBy([&] { drag(FL_LEFT_MOUSE, x + 10, y); });
  release(FL_LEFT_MOUSE, x + 10, y);
  const std::vector<std::string> printed = lines(out);
  ASSERT_FALSE(printed.empty());
  EXPECT_EQ(printed.front(), "YOU suck!!!");
  EXPECT_TRUE(h->targetPos.isFinite());
  EXPECT_EQ(h->targetPos.x, target.x);
  EXPECT_EQ(h->targetPos.y, target.y);
  EXPECT_EQ(h->targetPos.z, target.z);
  EXPECT_TRUE(allFinite(figure->dofs()));
}

// ---------------------------------------------------------------- removing

using Removal = GuiTest;

TEST_F(Removal, RightClickOnAHandleRemovesItAtTheNextFrame) {
  Segment* thigh = segment("h_thigh_left");
  Handle* h = pinOn("h_thigh_left");
  ASSERT_NE(h, nullptr);
  const ViewPoint p = project(h->worldPos);
  const int x = pixel(p.x), y = pixel(p.y);
  const std::vector<double> pose = figure->dofs();

  press(FL_RIGHT_MOUSE, x + 2, y + 2);
  EXPECT_EQ(view->mode, PickPending);
  EXPECT_EQ(figure->handleCount(), 1) << "removal waits for the next frame";
  drawFrame();
  EXPECT_EQ(figure->handleCount(), 0);
  EXPECT_TRUE(figure->handles.empty());
  EXPECT_EQ(thigh->handleCount(), 0);
  EXPECT_EQ(view->mode, Idle);
  release(FL_RIGHT_MOUSE, x + 2, y + 2);
  // Nothing pulls on the figure any more: the relaxation leaves the pose.
  EXPECT_EQ(figure->dofs(), pose);

  const std::vector<unsigned char> pixels = drawAndRead();
  EXPECT_EQ(countNear(pixels, p, 4, isGreen), 0);
  EXPECT_EQ(countNear(pixels, p, 4, isMagenta), 81);
}

TEST_F(Removal, RemovalRelaxesTowardsTheRemainingTargets) {
  typeKey('3');
  Handle* kept = pinOffTarget("h_forearm_left");
  Handle* removed = pinOn("h_thigh_left");
  ASSERT_NE(kept, nullptr);
  ASSERT_NE(removed, nullptr);
  const double gap = distance(kept->worldPos, kept->targetPos);
  const std::vector<double> pose = figure->dofs();
  const ViewPoint p = project(removed->worldPos);

  press(FL_RIGHT_MOUSE, pixel(p.x), pixel(p.y));
  const std::string out = printedBy([this] { drawFrame(); });
  release(FL_RIGHT_MOUSE, pixel(p.x), pixel(p.y));

  ASSERT_EQ(figure->handleCount(), 1);
  EXPECT_EQ(figure->handles.front().handle, kept);
  EXPECT_EQ(segment("h_thigh_left")->handleCount(), 0);
  EXPECT_EQ(segment("h_forearm_left")->handleCount(), 1);
  EXPECT_NE(figure->dofs(), pose);
  EXPECT_LT(distance(kept->worldPos, kept->targetPos), 0.5 * gap);
  expectOnlyIterationLines(out, 1);
}

TEST_F(Removal, RemovalAppliesTheLimitsOnce) {
  Handle* h = pinOn("h_thigh_left");
  ASSERT_NE(h, nullptr);
  // The shin's hinge, bent beyond its upper limit of 1.57 while limits are off.
  const int knee = firstDof(segment("h_shin_left"));
  std::vector<double> pose = figure->dofs();
  pose[knee] = 2.5;
  figure->setDofs(pose);
  ASSERT_EQ(figure->dofs()[knee], 2.5);
  typeKey('n');
  ASSERT_TRUE(figure->limitsEnabled);
  EXPECT_EQ(figure->dofs()[knee], 2.5) << "the key alone solves nothing";

  const ViewPoint p = project(h->worldPos);
  press(FL_RIGHT_MOUSE, pixel(p.x), pixel(p.y));
  drawFrame();
  release(FL_RIGHT_MOUSE, pixel(p.x), pixel(p.y));
  ASSERT_EQ(figure->handleCount(), 0);
  EXPECT_NEAR(figure->dofs()[knee], 1.57, 1e-12);
}

TEST_F(Removal, RightClickBesideTheHandleKeepsIt) {
  Handle* h = pinOn("h_thigh_left");
  ASSERT_NE(h, nullptr);
  const ViewPoint p = project(h->worldPos);
  press(FL_RIGHT_MOUSE, pixel(p.x) + 8, pixel(p.y));
  drawFrame();
  release(FL_RIGHT_MOUSE, pixel(p.x) + 8, pixel(p.y));
  drawFrame();
  EXPECT_EQ(figure->handleCount(), 1);
}

// ---------------------------------------------------------------- keys

using Keys = GuiTest;

TEST_F(Keys, DigitsSetTheTolerance) {
  EXPECT_EQ(figure->tolerance, 0.01);
  typeKey('3');
  EXPECT_EQ(figure->tolerance, 0.0001);
  typeKey('2');
  EXPECT_EQ(figure->tolerance, 0.001);
  typeKey('1');
  EXPECT_EQ(figure->tolerance, 0.01);
  typeKey('4');
  typeKey('0');
  EXPECT_EQ(figure->tolerance, 0.01);
}

TEST_F(Keys, NAndMSwitchTheLimits) {
  EXPECT_FALSE(figure->limitsEnabled);
  typeKey('n');
  EXPECT_TRUE(figure->limitsEnabled);
  typeKey('n');
  EXPECT_TRUE(figure->limitsEnabled);
  typeKey('m');
  EXPECT_FALSE(figure->limitsEnabled);
}

TEST_F(Keys, SAndDSwitchTheWeights) {
  typeKey('s');
  const auto& w = figure->dofWeights;
  for (double v : w[0]) EXPECT_EQ(v, 1.0);
  // The left shin's row: its leg's DOFs, a little of the root's turn, nothing else.
  const std::vector<double>& shin = w[segment("h_shin_left")->index];
  for (int i = 0; i < figure->dofCount; ++i) {
    const double expected = (i >= 7 && i <= 13) ? 1.0 : (i >= 4 && i <= 6) ? 0.05 : 0.0;
    EXPECT_EQ(shin[i], expected) << i;
  }
  EXPECT_EQ(w[segment("h_hand_right")->index][0], 0.0);
  EXPECT_EQ(w[segment("h_hand_right")->index][figure->dofCount - 1], 1.0);
  typeKey('d');
  for (const auto& row : w) {
    for (double v : row) EXPECT_EQ(v, 1.0);
  }
}

TEST_F(Keys, OtherKeysChangeNothing) {
  for (char c : {'a', 'x', 'S', '0', '9', ' '}) typeKey(c);
  EXPECT_EQ(figure->tolerance, 0.01);
  EXPECT_FALSE(figure->limitsEnabled);
  for (const auto& row : figure->dofWeights) {
    for (double v : row) EXPECT_EQ(v, 1.0);
  }
}

TEST_F(Keys, KeysReachTheViewThroughTheWindow) {
  // The route a real key press takes: the toolkit's dispatch to the window.
  static char text[2] = "3";
  Fl::e_text = text;
  Fl::e_length = 1;
  Fl::e_keysym = '3';
  Fl::e_state = 0;
  Fl::handle(FL_KEYBOARD, app->window.get());
  EXPECT_EQ(figure->tolerance, 0.0001);
}

TEST_F(Keys, LimbWeightsKeepADragInItsLimb) {
  typeKey('s');
  Handle* h = pinOn("h_forearm_left");
  ASSERT_NE(h, nullptr);
  const std::vector<double> before = figure->dofs();
  const ViewPoint p = project(h->worldPos);
  dragHandle(h, path(p.x, p.y, 3, -2, 5));
  const std::vector<double> after = figure->dofs();
  // The root's position and both legs stay; the arm moves.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(after[i], before[i]) << i;
  for (int i = 7; i <= 20; ++i) EXPECT_EQ(after[i], before[i]) << i;
  const int arm = firstDof(segment("h_scapula_left"));
  double armMotion = 0.0;
  for (int i = arm; i < arm + 9; ++i) armMotion = std::max(armMotion, std::abs(after[i] - before[i]));
  EXPECT_GT(armMotion, 0.01);

  // With uniform weights the same drag moves the whole body.
  typeKey('d');
  const std::vector<double> start = figure->dofs();
  const ViewPoint q = project(h->worldPos);
  dragHandle(h, path(q.x, q.y, 3, -2, 5));
  const std::vector<double> end = figure->dofs();
  double rootMotion = 0.0;
  for (int i = 0; i < 3; ++i) rootMotion = std::max(rootMotion, std::abs(end[i] - start[i]));
  EXPECT_GT(rootMotion, 1e-4);
}

// ---------------------------------------------------------------- camera

using Camera = GuiTest;

TEST_F(Camera, ShiftLeftDragRotates) {
  const OrbitCamera& c = *view->camera;
  const float k = 0.0055555557f;
  float yaw = c.yaw, pitch = c.pitch;
  const float distance0 = c.distance;
  const Vec3 centre = c.center;
  const std::vector<double> pose = figure->dofs();
  const std::vector<double> before = expectedModelview();

  press(FL_LEFT_MOUSE, 300, 300, FL_SHIFT);
  EXPECT_EQ(view->mode, CameraMove);
  EXPECT_EQ(c.mode, Rotate);
  const std::string out = printedBy([this] {
    drag(FL_LEFT_MOUSE, 310, 305, FL_SHIFT);
    drag(FL_LEFT_MOUSE, 320, 310, FL_SHIFT);
    drag(FL_LEFT_MOUSE, 317, 302, FL_SHIFT);
  });
  release(FL_LEFT_MOUSE, 317, 302, FL_SHIFT);
  EXPECT_EQ(view->mode, Idle);
  EXPECT_EQ(c.mode, Inactive);
  EXPECT_EQ(out, "[10 5 -0]\n[10 5 -0]\n[-3 -8 -0]\n");

  for (const auto& d : std::vector<std::pair<float, float>>{{10, 5}, {10, 5}, {-3, -8}}) {
    yaw = yaw - d.first * k;
    pitch = pitch + d.second * k;
  }
  EXPECT_FLOAT_EQ(c.yaw, yaw);
  EXPECT_FLOAT_EQ(c.pitch, pitch);
  EXPECT_EQ(c.distance, distance0);
  EXPECT_EQ(c.center.x, centre.x);
  EXPECT_EQ(c.center.y, centre.y);
  EXPECT_EQ(c.center.z, centre.z);

  // The next frame looks from the new eye; the figure is not posed.
  drawFrame();
  const FrameMatrices m = frameMatrices();
  const std::vector<double> after = expectedModelview();
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.modelview[i], after[i], 1e-5) << i;
  EXPECT_GT(maxDifference(before, after), 0.01);
  EXPECT_EQ(figure->dofs(), pose);
  EXPECT_EQ(figure->handleCount(), 0);
}

TEST_F(Camera, ShiftMiddleDragPansWithThePointer) {
  const OrbitCamera& c = *view->camera;
  const float yaw = c.yaw, pitch = c.pitch, distance0 = c.distance;
  const Vec3 centre = c.center;
  const Vec3 thigh = bodyCentre(segment("h_thigh_left"));
  const ViewPoint was = project(thigh);

  press(FL_MIDDLE_MOUSE, 400, 400, FL_SHIFT);
  EXPECT_EQ(c.mode, Pan);
  const std::string out = printedBy([this] {
    for (int i = 1; i <= 4; ++i) drag(FL_MIDDLE_MOUSE, 400 + 10 * i, 400 + 5 * i, FL_SHIFT);
  });
  release(FL_MIDDLE_MOUSE, 440, 420, FL_SHIFT);
  EXPECT_EQ(out, "[10 5 -0]\n[10 5 -0]\n[10 5 -0]\n[10 5 -0]\n");
  EXPECT_EQ(c.yaw, yaw);
  EXPECT_EQ(c.pitch, pitch);
  EXPECT_EQ(c.distance, distance0);
  // 0.02 units a pixel: 40 pixels across and 20 down move the centre by 0.89.
  EXPECT_NEAR(length(c.center - centre), 0.02 * std::hypot(40.0, 20.0), 1e-3);

  // The figure moves the way the pointer did, a little less far.
  drawFrame();
  const ViewPoint now = project(thigh);
  EXPECT_GT(now.x - was.x, 20.0);
  EXPECT_LT(now.x - was.x, 40.0);
  EXPECT_GT(now.y - was.y, 10.0);
  EXPECT_LT(now.y - was.y, 20.0);
}

TEST_F(Camera, ShiftRightDragZooms) {
  const OrbitCamera& c = *view->camera;
  const float yaw = c.yaw, pitch = c.pitch;
  const Vec3 centre = c.center;
  const Segment* head = segment("h_head");
  const Segment* foot = segment("h_foot_left");
  const ViewPoint headWas = project(bodyCentre(head)), footWas = project(bodyCentre(foot));

  press(FL_RIGHT_MOUSE, 200, 300, FL_SHIFT);
  EXPECT_EQ(c.mode, Zoom);
  const std::string out = printedBy([this] {
    drag(FL_RIGHT_MOUSE, 203, 320, FL_SHIFT);
    drag(FL_RIGHT_MOUSE, 203, 350, FL_SHIFT);
  });
  release(FL_RIGHT_MOUSE, 203, 350, FL_SHIFT);
  EXPECT_EQ(out, "[3 20 -0]\n[0 30 -0]\n");
  // A tenth of a unit a pixel; down moves the eye away.
  EXPECT_FLOAT_EQ(c.distance, -20.0f - 20 * 0.1f - 30 * 0.1f);
  EXPECT_EQ(c.yaw, yaw);
  EXPECT_EQ(c.pitch, pitch);
  EXPECT_EQ(c.center.x, centre.x);
  EXPECT_EQ(c.center.y, centre.y);
  EXPECT_EQ(c.center.z, centre.z);

  drawFrame();
  const ViewPoint headNow = project(bodyCentre(head)), footNow = project(bodyCentre(foot));
  const double heightWas = std::hypot(headWas.x - footWas.x, headWas.y - footWas.y);
  const double heightNow = std::hypot(headNow.x - footNow.x, headNow.y - footNow.y);
  EXPECT_NEAR(heightNow / heightWas, 20.0 / 25.0, 0.03);
}

TEST_F(Camera, ShiftPressOnAHandleMovesTheCameraOnly) {
  Handle* h = pinOn("h_thigh_left");
  ASSERT_NE(h, nullptr);
  const ViewPoint p = project(h->worldPos);
  const int x = pixel(p.x), y = pixel(p.y);
  const std::vector<double> pose = figure->dofs();
  const std::string out = printedBy([&] {
    press(FL_LEFT_MOUSE, x, y, FL_SHIFT);
    drawFrame();
    drag(FL_LEFT_MOUSE, x + 10, y, FL_SHIFT);
    drawFrame();
    release(FL_LEFT_MOUSE, x + 10, y, FL_SHIFT);
    drawFrame();
  });
  EXPECT_EQ(out, "[10 0 -0]\n");
  EXPECT_EQ(view->grabbedHandle, nullptr);
  EXPECT_EQ(figure->dofs(), pose);
  EXPECT_EQ(figure->handleCount(), 1);
  EXPECT_NE(view->camera->yaw, 1.0f);
}

TEST_F(Camera, PlainDragsPrintNoTrace) {
  const std::string out = printedBy([this] {
    press(FL_LEFT_MOUSE, 600, 600);
    drag(FL_LEFT_MOUSE, 610, 600);
    release(FL_LEFT_MOUSE, 610, 600);
    press(FL_MIDDLE_MOUSE, 600, 600);
    drag(FL_MIDDLE_MOUSE, 610, 600);
    release(FL_MIDDLE_MOUSE, 610, 600);
  });
  EXPECT_EQ(out, "");
  EXPECT_EQ(view->camera->yaw, 1.0f);
}

// ---------------------------------------------------------------- resizing

using Resizing = GuiTest;

TEST_F(Resizing, NextFrameUsesTheNewViewport) {
  app->window->size(500, 400);
  EXPECT_EQ(view->w(), 496);
  EXPECT_EQ(view->h(), 399);
  // The very next frame.
  drawFrame();
  const FrameMatrices m = frameMatrices();
  EXPECT_EQ(m.viewport[0], 0);
  EXPECT_EQ(m.viewport[1], 0);
  EXPECT_EQ(m.viewport[2], 496);
  EXPECT_EQ(m.viewport[3], 399);
  const double f = 1.0 / std::tan(M_PI / 8);
  EXPECT_NEAR(m.projection[0], f * 399.0 / 496.0, 1e-6);
  EXPECT_NEAR(m.projection[5], f, 1e-6);

  // Picks and drags flip y with the new height.
  Handle* h = pinOn("h_thigh_left");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(figure->segmentOf(h), segment("h_thigh_left"));
  const ViewPoint p = project(h->worldPos);
  press(FL_LEFT_MOUSE, pixel(p.x), pixel(p.y));
  EXPECT_EQ(view->grabbedHandle, h);
  EXPECT_EQ(view->lastY, 399 - pixel(p.y));
  release(FL_LEFT_MOUSE, pixel(p.x), pixel(p.y));

  // The frame shows the figure across the smaller view.
  const std::vector<unsigned char> pixels = drawAndRead();
  EXPECT_GT(countAll(pixels, isMagenta), 3000);
  EXPECT_GE(countNear(pixels, p, 2, isGreen), 9);
}

TEST_F(Resizing, ZeroHeightMakesNoNaN) {
  Handle* h = pinOn("h_forearm_left");
  ASSERT_NE(h, nullptr);
  const ViewPoint p = project(h->worldPos);
  const int x = pixel(p.x), y = pixel(p.y);
  app->window->size(694, 1);
  ASSERT_EQ(view->h(), 0);
  for (int i = 0; i < 5; ++i) Fl::wait(0.01);
  drawFrame();
  const FrameMatrices m = frameMatrices();
  EXPECT_EQ(m.viewport[3], 0);
  for (double v : m.projection) EXPECT_TRUE(std::isfinite(v));
  EXPECT_NEAR(m.projection[0], 1.0 / std::tan(M_PI / 8) / 690.0, 1e-9);

  // Pressing, dragging and zooming in a view of no height.
  const std::string out = printedBy([&] {
    press(FL_LEFT_MOUSE, x, y);
    drawFrame();
    drag(FL_LEFT_MOUSE, x + 10, y - 10);
    drawFrame();
    release(FL_LEFT_MOUSE, x + 10, y - 10);
    press(FL_RIGHT_MOUSE, x, 0);
    drawFrame();
    release(FL_RIGHT_MOUSE, x, 0);
    press(FL_LEFT_MOUSE, x, 0);
    drawFrame();
    release(FL_LEFT_MOUSE, x, 0);
    drawFrame();
    press(FL_LEFT_MOUSE, 100, 0, FL_SHIFT);
    drag(FL_LEFT_MOUSE, 110, 0, FL_SHIFT);
    release(FL_LEFT_MOUSE, 110, 0, FL_SHIFT);
    drawFrame();
  });
  EXPECT_EQ(out.find("YOU suck"), std::string::npos);
  EXPECT_TRUE(allFinite(figure->dofs()));
  for (const HandleEntry& e : figure->handles) {
    EXPECT_TRUE(e.handle->worldPos.isFinite());
    EXPECT_TRUE(e.handle->targetPos.isFinite());
  }
  EXPECT_TRUE(std::isfinite(view->grabDepth));
  EXPECT_TRUE(view->camera->eye.isFinite());

  // Grown again, the view works as before.
  app->window->size(694, 666);
  for (int i = 0; i < 5; ++i) Fl::wait(0.01);
  drawFrame();
  EXPECT_EQ(frameMatrices().viewport[3], 665);
  EXPECT_NE(pinOn("h_thigh_left"), nullptr);
}

// ---------------------------------------------------------------- click timing

using ClickTiming = GuiTest;

// A quick click whose release arrives before the frame that runs the pick
// still pins its handle.
TEST_F(ClickTiming, PressAndReleaseBeforeTheNextFramePinsAHandle) {
  const ViewPoint aim = project(bodyCentre(segment("h_thigh_left")));
  const int x = pixel(aim.x), y = pixel(aim.y);
  press(FL_LEFT_MOUSE, x, y);
  release(FL_LEFT_MOUSE, x, y);
  EXPECT_EQ(view->mode, PickPending);
  drawFrame();
  EXPECT_EQ(view->mode, Idle);
  EXPECT_EQ(figure->handleCount(), 1);
  EXPECT_EQ(segment("h_thigh_left")->handleCount(), 1);
  // With no further event, the event loop still draws the frame that shows it.
  const int frames = view->framesDrawn();
  for (int i = 0; i < 20 && view->framesDrawn() == frames; ++i) Fl::wait(0.01);
  EXPECT_GT(view->framesDrawn(), frames);
}

// A left press 4 to 5 pixels from a handle misses it for grabbing (radius 4)
// but the pick at the next frame searches 5 pixels and removes it: a click
// right beside a handle takes it away.
TEST_F(ClickTiming, LeftClickJustBesideAHandleRemovesIt) {
  Handle* h = pinOn("h_thigh_left");
  ASSERT_NE(h, nullptr);
  // Shift the view by a fraction of a pixel so that whole-pixel presses can
  // land between 4 and 5 pixels from the handle.
  press(FL_MIDDLE_MOUSE, 600, 600, FL_SHIFT);
  printedBy([this] { drag(FL_MIDDLE_MOUSE, 601, 601, FL_SHIFT); });
  release(FL_MIDDLE_MOUSE, 601, 601, FL_SHIFT);
  drawFrame();
  const ViewPoint p = project(h->worldPos);
  int x = int(std::floor(p.x)) + 5, y = pixel(p.y);
  if (x - p.x > 4.9 || x - p.x < 4.1) {
    x = pixel(p.x);
    y = int(std::floor(p.y)) + 5;
  }
  ASSERT_TRUE((x - p.x >= 4.1 && x - p.x <= 4.9) || (y - p.y >= 4.1 && y - p.y <= 4.9));

  press(FL_LEFT_MOUSE, x, y);
  ASSERT_EQ(view->mode, PickPending) << "not on the handle";
  printedBy([this] { drawFrame(); });
  release(FL_LEFT_MOUSE, x, y);
  drawFrame();
  EXPECT_EQ(figure->segmentOf(h), nullptr);
  EXPECT_EQ(figure->handleCount(), 0);
}

}  // namespace

// A normal click's pick is shown by the frame its release asks for: while
// the button is held after the pick, the loop draws nothing more, and after
// the release it draws one frame and rests.
TEST_F(ClickTiming, ANormalClickDrawsOneFrameAfterItsRelease) {
  const ViewPoint aim = project(bodyCentre(segment("h_thigh_left")));
  const int x = pixel(aim.x), y = pixel(aim.y);
  press(FL_LEFT_MOUSE, x, y);
  drawFrame();
  ASSERT_EQ(figure->handleCount(), 1);
  const auto framesWithin = [this](int waits) {
    const int before = view->framesDrawn();
    for (int i = 0; i < waits; ++i) Fl::wait(0.01);
    return view->framesDrawn() - before;
  };
  EXPECT_EQ(framesWithin(20), 0) << "the pick asked for a frame of its own";
  release(FL_LEFT_MOUSE, x, y);
  EXPECT_EQ(framesWithin(20), 1);
}
