// The real window, scene and view under a private X server, driven by
// synthetic toolkit events: what a user's presses, drags and keys do to the
// figure, its handles, the camera and the frames drawn.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/AppWindow.h"
#include "app/Scene.h"
#include "figure/Figure.h"
#include "view/GLView.h"

// Last: Xlib defines macros such as None and Bool.
#include <X11/Xlib.h>

namespace {

bool displayAvailable() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  XCloseDisplay(d);
  return true;
}

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

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!displayAvailable()) GTEST_SKIP() << "no X display";
    Fl::visual(FL_DOUBLE);
    scene = std::make_unique<Scene>();
    app = std::make_unique<AppWindow>(scene.get());
    view = app->view;
    figure = scene->figure.get();
    app->show();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (view->framesDrawn() == 0 && std::chrono::steady_clock::now() < deadline) Fl::wait(0.01);
    ASSERT_GT(view->framesDrawn(), 0) << "the view never drew";
  }

  void TearDown() override {
    // The view goes first: it unhooks its handles from the scene's figure.
    app.reset();
    Fl::wait(0);
    scene.reset();
  }

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

  // Clicks at the pixel nearest to the centre of the named body, with a
  // frame between press and release as in a live event loop, and returns
  // the new handle or null.
  Handle* pinAt(int x, int y) {
    const int before = figure->handleCount();
    press(FL_LEFT_MOUSE, x, y);
    drawFrame();
    release(FL_LEFT_MOUSE, x, y);
    drawFrame();
    if (figure->handleCount() != before + 1) return nullptr;
    return figure->handles.back().handle;
  }
  Handle* pinOn(const char* name) {
    const ViewPoint p = project(bodyCentre(segment(name)));
    return pinAt(int(std::lround(p.x)), int(std::lround(p.y)));
  }

  std::unique_ptr<Scene> scene;
  std::unique_ptr<AppWindow> app;
  GLView* view = nullptr;
  Figure* figure = nullptr;
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
  const OrbitCamera& c = *view->camera;
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  gluLookAt(c.eye.x, c.eye.y, c.eye.z, c.center.x, c.center.y, c.center.z, c.up.x, c.up.y, c.up.z);
  glScaled(5, 5, 5);
  GLdouble expected[16];
  glGetDoublev(GL_MODELVIEW_MATRIX, expected);
  glPopMatrix();
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
  press(FL_MIDDLE_MOUSE, 300, 300, FL_SHIFT);
  drag(FL_MIDDLE_MOUSE, 200, 300, FL_SHIFT);
  release(FL_MIDDLE_MOUSE, 200, 300, FL_SHIFT);
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
    const int x = int(std::lround(aim.x)), y = int(std::lround(aim.y));
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

TEST_F(Pinning, PressAndReleaseBeforeTheNextFramePinsAHandle) {
  const ViewPoint aim = project(bodyCentre(segment("h_thigh_left")));
  const int x = int(std::lround(aim.x)), y = int(std::lround(aim.y));
  press(FL_LEFT_MOUSE, x, y);
  release(FL_LEFT_MOUSE, x, y);
  drawFrame();
  EXPECT_EQ(figure->handleCount(), 1);
  EXPECT_EQ(segment("h_thigh_left")->handleCount(), 1);
}

TEST_F(Pinning, PressBeforeTheFirstFramePicksAtThatFrame) {
  // Aim with this view, then press in a fresh one that has not drawn yet:
  // both show the same initial frame.
  const ViewPoint aim = project(bodyCentre(segment("h_thigh_left")));
  const int x = int(std::lround(aim.x)), y = int(std::lround(aim.y));
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
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (view->framesDrawn() == 0 && std::chrono::steady_clock::now() < deadline) Fl::wait(0.01);
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
  const int x = int(std::lround(aim.x)), y = int(std::lround(aim.y));
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
  press(FL_LEFT_MOUSE, int(std::lround(p.x)), int(std::lround(p.y)));
  EXPECT_EQ(view->mode, HandleDrag);
  drawFrame();
  release(FL_LEFT_MOUSE, int(std::lround(p.x)), int(std::lround(p.y)));
  drawFrame();
  EXPECT_EQ(figure->handleCount(), 1);
}

}  // namespace
