#pragma once

// The real document, window and view under the test's X server, opened as the
// program opens them and drawn once, with what every in-process GUI test
// does to them: send toolkit events as a user's presses, drags and keys
// arrive, draw frames and read them back, and map figure points into the
// view and back.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "app/AppWindow.h"
#include "document/PoseDocument.h"
#include "humanoid/Humanoid.h"
#include "figure/Figure.h"
#include "flat_scene.h"
#include "ik_test_util.h"
#include "view/GLView.h"

// Last: Xlib defines macros such as None and Bool.
#include <X11/Xlib.h>
#include <FL/x.H>

// ---------------------------------------------------------------- frames

// The viewport and matrices that a frame leaves in the view's GL context.
struct FrameMatrices {
  GLint viewport[4];
  GLdouble projection[16];
  GLdouble modelview[16];
};

// A point in toolkit coordinates of the view (y down) with its window depth.
struct ViewPoint {
  double x, y, depth;
};

// The whole pixel nearest a toolkit coordinate.
inline int nearestPixel(double v) { return static_cast<int>(std::lround(v)); }

struct Rgb {
  int r, g, b;
};

inline bool isMagenta(Rgb c) { return c.r > 20 && c.b > 20 && c.g < c.r / 2 && std::abs(c.r - c.b) < 8; }
inline bool isGreen(Rgb c) { return c.g > 20 && c.r < 8 && c.b < 8; }
inline bool isBlack(Rgb c) { return c.r == 0 && c.g == 0 && c.b == 0; }

// A frame's colours as read back from the view, rows from the bottom up.
struct FramePixels {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;

  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  // The colour at a toolkit pixel (y down).
  Rgb at(int x, int y) const {
    const size_t i = (static_cast<size_t>(height - 1 - y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
  // Pixels of the kind within the square of the given half-width around p.
  int countNear(const ViewPoint& p, int radius, bool (*kind)(Rgb)) const {
    int n = 0;
    for (int y = int(p.y) - radius; y <= int(p.y) + radius; ++y) {
      for (int x = int(p.x) - radius; x <= int(p.x) + radius; ++x) n += inside(x, y) && kind(at(x, y));
    }
    return n;
  }
  int countAll(bool (*kind)(Rgb)) const {
    int n = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) n += kind(at(x, y));
    }
    return n;
  }
};

// ---------------------------------------------------------------- events

// The button's bit in the toolkit's event state.
inline int buttonMask(int button) {
  return button == FL_LEFT_MOUSE ? FL_BUTTON1 : button == FL_MIDDLE_MOUSE ? FL_BUTTON2 : FL_BUTTON3;
}

class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    Display* display = XOpenDisplay(nullptr);
    if (!display) GTEST_SKIP() << "no X display";
    XCloseDisplay(display);
    Fl::visual(FL_DOUBLE);
    // The toolkit's last key outlives a test, and a new view takes it as a setting.
    Fl::e_keysym = Fl::e_state = 0;
    document = std::make_unique<PoseDocument>(buildHumanoid());
    app = std::make_unique<AppWindow>(*document);
    view = app->view;
    figure = &document->figure();
    app->show();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (view->framesDrawn() == 0 && std::chrono::steady_clock::now() < deadline) Fl::wait(0.01);
    ASSERT_GT(view->framesDrawn(), 0) << "the view never drew";
  }

  void TearDown() override {
    app.reset();
    Fl::wait(0);
    document.reset();
  }

  // ---- events, as the toolkit fills in its state for the view

  // original: the key itself, where NumLock makes another of a keypad digit.
  int send(int event, int x, int y, int state, int keysym, int original = 0) {
    fl_event_time += 10;  // events a person makes come some milliseconds apart
    Fl::e_x = Fl::e_x_root = x;
    Fl::e_y = Fl::e_y_root = y;
    Fl::e_state = state;
    Fl::e_keysym = keysym;
    Fl::e_original_keysym = original ? original : keysym;
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
  // A click as a live event loop delivers it: a frame after the press (it
  // runs a pending pick) and one after the release.
  void click(int button, Pixel at, int modifiers = 0) {
    press(button, at.x, at.y, modifiers);
    drawFrame();
    release(button, at.x, at.y, modifiers);
    drawFrame();
  }
  // A drag of the camera with Shift held, in one step.
  void shiftDrag(int button, Pixel from, Pixel to) {
    press(button, from.x, from.y, FL_SHIFT);
    printedBy([&] { drag(button, to.x, to.y, FL_SHIFT); });
    release(button, to.x, to.y, FL_SHIFT);
  }
  // A key pressed and released, with Ctrl (or what is given) held, then a frame.
  void command(int key, int modifiers = FL_CTRL, int original = 0) {
    pressCommand(key, modifiers, original);
    releaseCommand(key, modifiers, original);
    drawFrame();
  }
  // Its press and its release apart, as a held key's repeats come.
  void pressCommand(int key, int modifiers = FL_CTRL, int original = 0) {
    send(FL_KEYBOARD, view->w() / 2, view->h() / 2, modifiers, key, original);
  }
  void releaseCommand(int key, int modifiers = FL_CTRL, int original = 0) {
    send(FL_KEYUP, view->w() / 2, view->h() / 2, modifiers, key, original);
  }
  // The window's title, once the application's check has run.
  std::string title() const {
    Fl::check();
    return app->window->label() ? app->window->label() : "";
  }

  // ---- frames

  // Draws exactly one frame through the toolkit, swap included.
  void drawFrame() {
    view->redraw();
    Fl::flush();
  }

  // The frames the event loop draws in the given number of waits of 10 ms.
  int framesWithin(int waits) {
    const int before = view->framesDrawn();
    for (int i = 0; i < waits; ++i) Fl::wait(0.01);
    return view->framesDrawn() - before;
  }

  // Draws one frame and reads it back before the swap.
  FramePixels drawAndRead() {
    view->make_current();
    view->draw();
    FramePixels frame;
    frame.width = std::max(view->w(), 1);
    frame.height = std::max(view->h(), 1);
    frame.rgb.resize(static_cast<size_t>(frame.width) * frame.height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, frame.width, frame.height, GL_RGB, GL_UNSIGNED_BYTE, frame.rgb.data());
    view->swap_buffers();
    return frame;
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

  // ---- figure points in the view

  // Where a figure point shows in the last frame.
  ViewPoint project(const Vec3& p) {
    const FrameMatrices m = frameMatrices();
    double w[3] = {NAN, NAN, NAN};
    EXPECT_EQ(gluProject(p.x, p.y, p.z, m.modelview, m.projection, m.viewport, &w[0], &w[1], &w[2]), GL_TRUE);
    return {w[0], view->h() - w[1], w[2]};
  }

  // The whole pixel where a figure point shows in the last frame.
  Pixel pixelOf(const Vec3& p) {
    const ViewPoint v = project(p);
    return {nearestPixel(v.x), nearestPixel(v.y)};
  }

  const PointerGestures& gestures() const { return view->gestures(); }

  Segment* segment(const char* name) {
    Segment* s = figure->findSegment(name);
    EXPECT_NE(s, nullptr) << name;
    return s;
  }

  // Clicks at the pixel nearest the centre of the named body; returns the
  // handle it pinned, or null.
  const Handle* pinOn(const char* name) {
    const int before = figure->handleCount();
    click(FL_LEFT_MOUSE, pixelOf(bodyCentre(segment(name))));
    return figure->handleCount() == before + 1 ? figure->handles.back().handle : nullptr;
  }

  std::unique_ptr<PoseDocument> document;
  std::unique_ptr<AppWindow> app;
  GLView* view = nullptr;
  const Figure* figure = nullptr;
};
