// The real window, document and view under a private X server, driven by
// synthetic toolkit events: what only a real window shows, one check each
// (the gestures', keys' and framing's logic is tested without a display);
// and the clipboard, read through Xlib.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Window.H>
#include <FL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/AppWindow.h"
#include "document/PoseDocument.h"
#include "figure/Figure.h"
#include "flat_scene.h"
#include "humanoid/Humanoid.h"
#include "ik_test_util.h"
#include "pose/PoseFileText.h"
#include "pose/PosePicture.h"
#include "pose/PoseText.h"
#include "temp_folder.h"
#include "view/ClipboardTransfer.h"
#include "view/Controls.h"
#include "view/GLView.h"
#include "view/PictureRendering.h"
#include "view/PngEncoding.h"
#include "view/PoseLibraryWindow.h"

// Last: Xlib defines macros such as None and Bool.
#include <X11/Xlib.h>
#include <FL/x.H>

namespace {

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

struct Rgb {
  int r, g, b;
};

bool isMagenta(Rgb c) { return c.r > 20 && c.b > 20 && c.g < c.r / 2 && std::abs(c.r - c.b) < 8; }
bool isGreen(Rgb c) { return c.g > 20 && c.r < 8 && c.b < 8; }
bool isBlack(Rgb c) { return c.r == 0 && c.g == 0 && c.b == 0; }

// The figure's pixels among count pixels of the given number of channels.
int magentaIn(const unsigned char* pixels, size_t count, int channels) {
  int n = 0;
  for (size_t i = 0; i < count; ++i, pixels += channels) n += isMagenta({pixels[0], pixels[1], pixels[2]});
  return n;
}

// A frame's colours as read back from the view, rows from the bottom up.
struct FramePixels {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;

  // The colour at a toolkit pixel (y down).
  Rgb at(int x, int y) const {
    const size_t i = (static_cast<size_t>(height - 1 - y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
  // Pixels of the kind within the square of the given half-width around p.
  int countNear(const ViewPoint& p, int radius, bool (*kind)(Rgb)) const {
    int n = 0;
    for (int y = std::max(int(p.y) - radius, 0); y <= std::min(int(p.y) + radius, height - 1); ++y) {
      for (int x = std::max(int(p.x) - radius, 0); x <= std::min(int(p.x) + radius, width - 1); ++x) {
        n += kind(at(x, y));
      }
    }
    return n;
  }
  int countAll(bool (*kind)(Rgb)) const { return countNear({0, 0, 0}, std::max(width, height), kind); }
};

// ---------------------------------------------------------------- the window

// The real document, window and view, opened as the program opens them and
// drawn once; toolkit events as a person's arrive, frames read back.
class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    Display* display = XOpenDisplay(nullptr);
    if (!display) GTEST_SKIP() << "no X display";
    // The real pointer waits in the screen's far corner, away from the
    // window: only the test's own events move over the view.
    const Screen* screen = DefaultScreenOfDisplay(display);
    XWarpPointer(display, 0, RootWindowOfScreen(screen), 0, 0, 0, 0, WidthOfScreen(screen) - 1,
                 HeightOfScreen(screen) - 1);
    XSync(display, False);
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
  static int buttonMask(int button) {
    return button == FL_LEFT_MOUSE ? FL_BUTTON1 : button == FL_MIDDLE_MOUSE ? FL_BUTTON2 : FL_BUTTON3;
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
  // A click as the event loop delivers it: a frame after the press (the
  // pick) and one after the release.
  void click(int button, Pixel at, int modifiers = 0) {
    press(button, at.x, at.y, modifiers);
    drawFrame();
    release(button, at.x, at.y, modifiers);
    drawFrame();
  }
  void moveTo(Pixel at, int keysym = 0) { send(FL_MOVE, at.x, at.y, 0, keysym); }
  // A key with Ctrl (or what is given) held, then a frame; pressCommand
  // alone is one of a held key's repeats.
  void command(int key, int modifiers = FL_CTRL, int original = 0) {
    pressCommand(key, modifiers, original);
    send(FL_KEYUP, view->w() / 2, view->h() / 2, modifiers, key, original);
    drawFrame();
  }
  void pressCommand(int key, int modifiers = FL_CTRL, int original = 0) {
    send(FL_KEYBOARD, view->w() / 2, view->h() / 2, modifiers, key, original);
  }
  // A key typed with the pointer at the pixel, then a frame.
  void keyAt(int key, Pixel at) {
    send(FL_KEYBOARD, at.x, at.y, 0, key);
    send(FL_KEYUP, at.x, at.y, 0, key);
    drawFrame();
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

  // What the event loop does in 50 ms.
  static void settle() {
    for (int i = 0; i < 5; ++i) Fl::wait(0.01);
  }

  // Draws one frame and reads it back before the swap.
  FramePixels drawAndRead() {
    view->make_current();
    view->draw();
    FramePixels frame{std::max(view->w(), 1), std::max(view->h(), 1), {}};
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

  // The last frame's viewport is the view's, and its projection has a 45
  // degree field of view, the view's aspect ratio, near 1 and far 100.
  void expectLastFrameFills(int w, int h) {
    const FrameMatrices m = frameMatrices();
    EXPECT_EQ(std::vector<GLint>(m.viewport, m.viewport + 4), (std::vector<GLint>{0, 0, w, h}));
    const double f = 1.0 / std::tan(M_PI / 8);
    EXPECT_NEAR(m.projection[0], f * h / w, 1e-6);
    EXPECT_NEAR(m.projection[5], f, 1e-6);
    EXPECT_NEAR(m.projection[10], -101.0 / 99.0, 1e-6);
    EXPECT_NEAR(m.projection[14], -200.0 / 99.0, 1e-6);
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
    return {static_cast<int>(std::lround(v.x)), static_cast<int>(std::lround(v.y))};
  }

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

  Picture picture(int width, int height, PictureOptions::Background background) {
    return view->figurePicture(width, height, background);
  }

  std::unique_ptr<PoseDocument> document;
  std::unique_ptr<AppWindow> app;
  GLView* view = nullptr;
  const Figure* figure = nullptr;
};

// ---------------------------------------------------------------- first frame

using FirstFrame = WindowFixture;

// The window is 694 by 666; the frame looks from the starting camera's eye
// (pitch 0.2, yaw 1, 20 units away) at the origin, up +y, the figure scaled 5.
TEST_F(FirstFrame, UsesTheWholeViewAndTheCamera) {
  EXPECT_EQ(app->window->w(), 694);
  expectLastFrameFills(690, 665);
  const Vec3 eye(float(-20 * std::sin(1.0) * std::cos(0.2)), float(20 * std::sin(0.2)),
                 float(-20 * std::cos(1.0) * std::cos(0.2)));
  const FrameMatrices m = frameMatrices();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  gluLookAt(eye.x, eye.y, eye.z, 0, 0, 0, 0, 1, 0);
  glScaled(5, 5, 5);
  GLdouble expected[16];
  glGetDoublev(GL_MODELVIEW_MATRIX, expected);
  glPopMatrix();
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.modelview[i], expected[i], 1e-5) << i;
}

// The triad is drawn at the camera's centre, panned here off the figure,
// where nothing hides it: its axes red, green and blue, one unit long (a
// fifth of that in the figure's scale), and nothing else green yet.
TEST_F(FirstFrame, ShowsTheMagentaFigureOnBlackAndTheTriadAtTheCameraCentre) {
  press(FL_MIDDLE_MOUSE, 300, 300, FL_SHIFT);
  printedBy([&] { drag(FL_MIDDLE_MOUSE, 200, 300, FL_SHIFT); });
  release(FL_MIDDLE_MOUSE, 200, 300, FL_SHIFT);
  drawFrame();
  const FramePixels frame = drawAndRead();
  EXPECT_TRUE(isBlack(frame.at(0, 0)));
  EXPECT_TRUE(isBlack(frame.at(view->w() - 1, view->h() - 1)));
  EXPECT_GT(frame.countAll(isMagenta), 5000);
  for (const char* name : {"h_thigh_left", "h_abdomen", "root"}) {
    const ViewPoint p = project(bodyCentre(segment(name)));
    EXPECT_TRUE(isMagenta(frame.at(int(p.x), int(p.y)))) << name;
  }
  const Vec3 c = view->camera->center * 0.2;
  const ViewPoint base = project(c), tip = project(c + Vec3(0, 0.2f, 0));
  const ViewPoint middle{(base.x + tip.x) / 2, (base.y + tip.y) / 2, 0};
  const int onAxis = frame.countNear(middle, int(std::abs(tip.y - base.y) / 2) + 3, isGreen);
  EXPECT_GT(onAxis, 20);
  EXPECT_EQ(frame.countAll(isGreen), onAxis);
  const auto colourAt = [&](const Vec3& p) {
    const Pixel at = pixelOf(p);
    return frame.at(at.x, at.y);
  };
  const Rgb x = colourAt(c + Vec3(0.1f, 0, 0)), y = colourAt(c + Vec3(0, 0.1f, 0)),
            z = colourAt(c + Vec3(0, 0, 0.1f));
  EXPECT_TRUE(x.r > 0 && x.g == 0 && x.b == 0) << x.r << " " << x.g << " " << x.b;
  EXPECT_TRUE(y.g > 0 && y.r == 0 && y.b == 0) << y.r << " " << y.g << " " << y.b;
  EXPECT_TRUE(z.b > 0 && z.r == 0 && z.g == 0) << z.r << " " << z.g << " " << z.b;
}

// The picture Ctrl+E saves: the view's frame without the handles and the
// triad; wherever the frame shows the figure, the same pixel.
TEST_F(FirstFrame, ThePictureIsTheFrameWithoutHandlesOrTriad) {
  ASSERT_NE(pinOn("h_head"), nullptr);
  const FramePixels frame = drawAndRead();
  FramePixels picture = frame;
  picture.rgb = this->picture(view->w(), view->h(), PictureOptions::Background::Black).pixels;
  ASSERT_EQ(picture.rgb.size(), frame.rgb.size());
  EXPECT_GT(frame.countAll(isGreen), 0);
  EXPECT_EQ(picture.countAll(isGreen), 0);
  int figurePixels = 0, differing = 0;
  for (size_t i = 0; i < frame.rgb.size(); i += 3) {
    if (!isMagenta({frame.rgb[i], frame.rgb[i + 1], frame.rgb[i + 2]})) continue;
    ++figurePixels;
    differing += !std::equal(&frame.rgb[i], &frame.rgb[i] + 3, &picture.rgb[i]);
  }
  EXPECT_GT(figurePixels, 5000);
  EXPECT_EQ(differing, 0);
}

// The pelvis segments have no body: each shows as a magenta line two pixels
// wide from its origin to its end, once the other bodies are taken away.
TEST_F(FirstFrame, ShapelessSegmentsShowAsTwoPixelLines) {
  for (Segment* s : figure->segments()) s->hasShape = false;
  const FramePixels frame = drawAndRead();
  for (const char* name : {"h_pelvis_up", "h_pelvis_left", "h_pelvis_right"}) {
    SCOPED_TRACE(name);
    const Segment* s = segment(name);
    const ViewPoint a = project(transformPoint(worldOf(s), Vec3()));
    const ViewPoint b = project(transformPoint(worldOf(s), s->endOffset));
    ASSERT_GT(std::hypot(b.x - a.x, b.y - a.y), 8.0) << "too short on screen to tell";
    for (double t : {0.25, 0.5, 0.75}) {
      const ViewPoint p{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), 0};
      EXPECT_GT(frame.countNear(p, 1, isMagenta), 0) << "along the line at " << t;
    }
    // Across the line's middle, along the shorter screen axis: two pixels.
    const bool steep = std::abs(b.y - a.y) > std::abs(b.x - a.x);
    const int mx = int(std::floor((a.x + b.x) / 2)), my = int(std::floor((a.y + b.y) / 2));
    int across = 0;
    for (int k = -6; k <= 6; ++k) across += isMagenta(steep ? frame.at(mx + k, my) : frame.at(mx, my + k));
    EXPECT_EQ(across, 2);
  }
}

// ---------------------------------------------------------------- keys

using Keys = WindowFixture;

// No command runs while a button is held, whether or not it started
// anything, and the drag goes on with the same handle, as one step.
TEST_F(Keys, KeysDoNothingWhileAButtonIsHeld) {
  const Handle* h = pinOn("h_forearm_left");
  ASSERT_NE(h, nullptr);
  const Pixel at = pixelOf(h->worldPos);
  press(FL_LEFT_MOUSE, at.x, at.y);
  drag(FL_LEFT_MOUSE, at.x + 10, at.y - 10);
  for (int key : {'z', 'y', 'r', 'c', 'v'}) command(key, FL_CTRL | FL_BUTTON1);
  command(FL_F + 1, FL_BUTTON1);
  EXPECT_FALSE(view->helpShown());
  drag(FL_LEFT_MOUSE, at.x + 20, at.y - 20);
  EXPECT_EQ(view->gestures().grabbed(), h);
  release(FL_LEFT_MOUSE, at.x + 20, at.y - 20);
  press(FL_MIDDLE_MOUSE, 5, 5);
  command('z', FL_CTRL | FL_BUTTON2);
  release(FL_MIDDLE_MOUSE, 5, 5);
  EXPECT_EQ(figure->handleCount(), 1);
  EXPECT_EQ(document->steps().undoCount(), 2u);
}

// Keys for the pose library's window, pressed and released as the toolkit
// passes them on: to the widget with the keyboard, if any.
Fl_Window* shownWindow(const char* label) {
  for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) {
    if (w->label() && std::strcmp(w->label(), label) == 0) return w;
  }
  return nullptr;
}
void typeInto(Fl_Window* window, int key) {
  for (int event : {FL_KEYBOARD, FL_KEYUP}) {
    fl_event_time += 10;
    Fl::e_keysym = Fl::e_original_keysym = key;
    Fl::e_state = 0;
    Fl::handle(event, window);
  }
}
// Escape into the window labelled `label` once it shows.
void escapeFrom(void* label) {
  if (Fl_Window* window = shownWindow(static_cast<const char*>(label))) return typeInto(window, FL_Escape);
  Fl::repeat_timeout(0.02, escapeFrom, label);
}

// A busy program takes a click, a key and a second press before its next
// frame: Ctrl+Z takes the first pin back, as they came, not the second.
TEST_F(Keys, AKeyBetweenTwoQuickClicksActsBetweenThem) {
  const Pixel belly = pixelOf(bodyCentre(segment("h_abdomen"))), head = pixelOf(bodyCentre(segment("h_head")));
  const auto clickKeyPress = [&](Pixel first, int key, int modifiers, Pixel second) {
    press(FL_LEFT_MOUSE, first.x, first.y);
    release(FL_LEFT_MOUSE, first.x, first.y);
    pressCommand(key, modifiers);
    press(FL_LEFT_MOUSE, second.x, second.y);
  };
  const auto pinnedAfter = [&](Pixel second) {
    release(FL_LEFT_MOUSE, second.x, second.y);
    drawFrame();
    settle();
    return figure->handleCount() == 1 ? std::string(figure->handles.front().segment->name) : "";
  };
  clickKeyPress(belly, 'z', FL_CTRL, head);
  EXPECT_EQ(pinnedAfter(head), "h_head");
  // A key that opens a window: the click made before it showed is the
  // modal window's, and pins nothing once it has closed.
  document->undo();
  Fl::add_timeout(0.0, escapeFrom, const_cast<char*>("mannequin: poses"));
  clickKeyPress(belly, 'l', FL_CTRL, head);
  EXPECT_EQ(pinnedAfter(head), "h_abdomen");
  // r between them turns the part the first click was on.
  clickKeyPress(head, 'r', 0, belly);
  EXPECT_EQ(title().find("nothing to turn"), std::string::npos) << title();
}

// A held v draws the clay look once, a drawing only: no magenta, no step,
// the plain frame's matrices; v again gives back the first frame.
TEST_F(Keys, VSwitchesToTheClayLookAndBack) {
  const FramePixels plain = drawAndRead();
  const FrameMatrices before = frameMatrices();
  ASSERT_GT(plain.countAll(isMagenta), 5000);
  for (int repeat = 0; repeat < 3; ++repeat) pressCommand('v', 0);
  command('v', 0);
  const FramePixels clay = drawAndRead();
  EXPECT_EQ(clay.countAll(isMagenta), 0);
  EXPECT_EQ(document->steps().undoCount(), 0u);
  const FrameMatrices after = frameMatrices();
  EXPECT_TRUE(std::equal(before.modelview, before.modelview + 16, after.modelview));
  EXPECT_TRUE(std::equal(before.projection, before.projection + 16, after.projection));
  command('v', 0);
  EXPECT_EQ(drawAndRead().rgb, plain.rgb);
}

// ---------------------------------------------------------------- the clipboard

// Read through Xlib, against another program on the same server (an owner
// the test plays) or this one.
using Clipboard = WindowFixture;

// Owns the CLIPBOARD from a connection of its own and sends its text in
// chunks, each once the last one is deleted; silent when they run out.
struct Owner {
  Display* display = XOpenDisplay(nullptr);
  Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
  std::vector<std::string> chunks;
  std::size_t sent = 0;
  Window requestor = None;
  Atom property = None;

  explicit Owner(std::vector<std::string> chunks_) : chunks(std::move(chunks_)) {
    XSetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False), window, CurrentTime);
    XSync(display, False);
  }
  ~Owner() { XCloseDisplay(display); }

  void serve() {
    while (XPending(display)) {
      XEvent e;
      XNextEvent(display, &e);
      if (e.type == SelectionRequest) {
        XSelectionEvent answer = {SelectionNotify, 0, False, display, e.xselectionrequest.requestor,
                                  e.xselectionrequest.selection, e.xselectionrequest.target,
                                  e.xselectionrequest.property, e.xselectionrequest.time};
        requestor = answer.requestor;
        property = answer.property;
        XSelectInput(display, requestor, PropertyChangeMask);
        const long lowerBound = 1;
        XChangeProperty(display, requestor, property, XInternAtom(display, "INCR", False), 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&lowerBound), 1);
        XSendEvent(display, requestor, False, 0, reinterpret_cast<XEvent*>(&answer));
      } else if (e.type == PropertyNotify && e.xproperty.state == PropertyDelete && e.xproperty.atom == property &&
                 sent < chunks.size()) {
        const std::string& chunk = chunks[sent++];
        XChangeProperty(display, requestor, property, XInternAtom(display, "UTF8_STRING", False), 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(chunk.data()),
                        static_cast<int>(chunk.size()));
      }
    }
    XFlush(display);
  }
};

// What a request with 10 bytes kept delivers; nothing if it hangs.
std::optional<ClipboardText> paste(Owner* owner) {
  std::optional<ClipboardText> got;
  ClipboardTransfer transfer(10, [&](const ClipboardText& text) { got = text; });
  transfer.request();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!got && std::chrono::steady_clock::now() < deadline) {
    Fl::wait(0.01);
    if (owner) owner->serve();
  }
  return got;
}

// No owner at all: an empty answer, no owner taken for a silent one; an
// owner that goes silent: a broken transfer; a text in chunks: its size and
// the first 10 bytes.
TEST_F(Clipboard, TheTransferAnswersWithNoOwnerASilentOneOrAChunkedText) {
  const std::optional<ClipboardText> none = paste(nullptr);
  ASSERT_TRUE(none) << "no answer with no clipboard owner";
  EXPECT_FALSE(none->broken);
  EXPECT_EQ(none->size, 0u);
  Owner silent({});
  const std::optional<ClipboardText> broken = paste(&silent);
  ASSERT_TRUE(broken) << "still waiting for an owner that went silent";
  EXPECT_TRUE(broken->broken);
  Owner chunked({"abcdefgh", "ijklmnop", ""});
  const std::optional<ClipboardText> text = paste(&chunked);
  ASSERT_TRUE(text);
  EXPECT_FALSE(text->broken);
  EXPECT_EQ(text->head, "abcdefghij");
  EXPECT_EQ(text->size, 16u);
}

// The clipboard's text through the X server, this process its owner: the
// title says what a paste prints; a button held when the text arrives
// refuses it; a text dropped on the view is no paste.
TEST_F(Clipboard, PastesComeThroughItAndNotByDrop) {
  const auto pasted = [this](int modifiers, bool holding) {
    // The server ignores a claim dated ahead of its clock, as ours soon are.
    fl_event_time = 0;
    Fl::copy("hello\n", 6, 1);
    command('v', modifiers);
    if (holding) press(FL_LEFT_MOUSE, 5, 5);
    const std::string said = printedBy([this] {
      for (int i = 0; i < 500 && view->pasteWaiting(); ++i) Fl::wait(0.01);
    });
    if (holding) release(FL_LEFT_MOUSE, 5, 5);
    return said;
  };
  EXPECT_EQ(pasted(FL_CTRL, false), "paste: line 1: not a mannequin pose: it begins with \"hello\"\n");
  EXPECT_EQ(title(), "mannequin - paste: line 1: not a mannequin pose: it begins with \"hello\"");
  EXPECT_EQ(pasted(FL_CTRL | FL_SHIFT, true), "paste mirrored: not done: a mouse button is held\n");

  ASSERT_NE(pinOn("h_head"), nullptr);
  std::string text = pose_text::write(*figure);
  command('r');
  send(FL_DND_RELEASE, 100, 100, 0, 'v');
  Fl::e_text = text.data();
  Fl::e_length = static_cast<int>(text.size());
  send(FL_PASTE, 100, 100, 0, 'v');
  EXPECT_EQ(figure->handleCount(), 0);
}

// ---------------------------------------------------------------- resizing

using Resizing = WindowFixture;

// The next frame fills the new view; a view of no height draws finite
// matrices, its gestures make no NaN, its picture is refused; grown again,
// it works as before.
TEST_F(Resizing, TheNextFrameFillsTheViewEvenOfNoHeight) {
  app->window->size(500, 400);
  EXPECT_EQ(view->w(), 496);
  EXPECT_EQ(view->h(), 399);
  drawFrame();
  expectLastFrameFills(496, 399);
  const Handle* h = pinOn("h_forearm_left");
  ASSERT_NE(h, nullptr);
  const Pixel at = pixelOf(h->worldPos);

  app->window->size(694, 1);
  ASSERT_EQ(view->h(), 0);
  settle();
  drawFrame();
  const FrameMatrices m = frameMatrices();
  EXPECT_EQ(m.viewport[3], 0);
  for (double v : m.projection) EXPECT_TRUE(std::isfinite(v));
  EXPECT_NEAR(m.projection[0], 1.0 / std::tan(M_PI / 8) / 690.0, 1e-9);
  const std::string out = printedBy([&] {
    press(FL_LEFT_MOUSE, at.x, at.y);
    drawFrame();
    drag(FL_LEFT_MOUSE, at.x + 10, at.y - 10);
    release(FL_LEFT_MOUSE, at.x + 10, at.y - 10);
    click(FL_LEFT_MOUSE, {at.x, 0});
    view->report(view->exportPicture("never.png", view->pictureOptions, view->w(), view->h()));
  });
  EXPECT_EQ(out.find("YOU suck"), std::string::npos);
  for (double d : figure->dofs()) EXPECT_TRUE(std::isfinite(d));
  EXPECT_TRUE(std::isfinite(view->gestures().grabDepth()));
  EXPECT_EQ(title(), "untitled* - mannequin - export: the view has no pixel to draw");
  EXPECT_FALSE(std::ifstream("never.png"));

  app->window->size(694, 666);
  settle();
  drawFrame();
  EXPECT_EQ(frameMatrices().viewport[3], 665);
  EXPECT_NE(pinOn("h_thigh_left"), nullptr);
}

// ---------------------------------------------------------------- posing keys and the pointer

using Posing = WindowFixture;

// The part under the pointer is named in the title (what p, x and the
// other keys show there is the X sessions'); a setting or a mode shows the
// moment its key changes it, over the words last said.
TEST_F(Posing, ThePartUnderThePointerIsNamedInTheTitle) {
  moveTo(pixelOf(bodyCentre(segment("h_head"))));
  EXPECT_EQ(title(), std::string("mannequin - ") + kDefaultSettings + " - h_head");
  moveTo({2, 2});
  EXPECT_EQ(title(), std::string("mannequin - ") + kDefaultSettings);
  view->say("copied");
  keyAt('n', {2, 2});
  EXPECT_EQ(title(), "mannequin - tolerance 0.01, limits on, uniform weights");
  view->say("copied");
  keyAt('x', {2, 2});
  EXPECT_EQ(title(), "mannequin - tolerance 0.01, limits on, uniform weights, mirror");
}

// r over the head turns it as the pointer moves; Escape puts it back,
// Enter keeps it as one step.
TEST_F(Posing, RTurnsTheJointUnderThePointerEscapeUndoesEnterKeeps) {
  const Pixel head = pixelOf(bodyCentre(segment("h_head")));
  const std::vector<double> start = figure->dofs();
  for (int key : {FL_Escape, FL_Enter}) {
    SCOPED_TRACE(key);
    moveTo(head);
    keyAt('r', head);
    for (int i = 1; i <= 3; ++i) moveTo({head.x + 10 * i, head.y + 5 * i});
    EXPECT_FALSE(sameVectors(figure->dofs(), start));
    EXPECT_EQ(figure->handleCount(), 0);
    keyAt(key, head);
    EXPECT_EQ(sameVectors(figure->dofs(), start), key == FL_Escape);
    EXPECT_EQ(document->steps().undoCount(), key == FL_Enter ? 1u : 0u);
  }
}

// r just after a click, the pointer where it was, turns the part clicked
// on; the title names it again.
TEST_F(Posing, RJustAfterAClickTurnsThePartClickedOn) {
  const Pixel head = pixelOf(bodyCentre(segment("h_head")));
  moveTo(head);
  click(FL_LEFT_MOUSE, head);
  EXPECT_EQ(title(), std::string("untitled* - mannequin - ") + kDefaultSettings + " - h_head");
  keyAt('r', head);
  EXPECT_TRUE(document->turning());
}

// Answers the capture's frame chooser with keys, from its own event loop,
// as the main window passes them on: to the widget with the keyboard.
std::vector<int> chooserKeys;
void answerChooser(void*) {
  if (!shownWindow("mannequin: capture")) return Fl::repeat_timeout(0.02, answerChooser);
  for (int key : chooserKeys) typeInto(Fl::first_window(), key);
}

// Right steps a frame at once, the desktop's focus or not; Home, End and
// the page keys jump.
TEST_F(Posing, TheFrameChooserCancelsOnEscapeAndImportsOnEnter) {
  ASSERT_NE(pinOn("h_head"), nullptr);
  moveTo({2, 2});  // no part named after the title's words
  const std::vector<double> before = figure->dofs();
  const std::string path = std::string(MANNEQUIN_CAPTURES) + "/boxing-toes-cut.bvh";
  std::vector<std::vector<double>> imported;
  const int right[] = {FL_Right, FL_Right, FL_Right, FL_Right, FL_Right, FL_Right, FL_Right, FL_Enter};
  for (const std::vector<int>& keys :
       {std::vector<int>{FL_Escape}, {FL_Enter}, {FL_Right, FL_Enter}, {FL_End, FL_Enter}, {std::begin(right), std::end(right)},
        {FL_End, FL_Page_Up, FL_Home, FL_Page_Down, FL_Enter}}) {
    chooserKeys = keys;
    Fl::add_timeout(0.0, answerChooser);
    view->report(view->openFile(path));
    imported.push_back(figure->dofs());
  }
  EXPECT_TRUE(sameVectors(imported[0], before));
  EXPECT_FALSE(sameVectors(imported[1], before));
  EXPECT_FALSE(sameVectors(imported[2], imported[1])) << "the second frame";
  // End is the eighth and last frame, seven Rights on; Page Down a frame on (a tenth of 8, at least 1).
  EXPECT_TRUE(sameVectors(imported[3], imported[4]));
  EXPECT_FALSE(sameVectors(imported[3], imported[2]));
  EXPECT_TRUE(sameVectors(imported[5], imported[2]));
  EXPECT_EQ(figure->handleCount(), 0);
  EXPECT_EQ(document->steps().undoCount(), 6u) << "the pin and five imports; nothing for Escape";
  const std::string said = "mannequin - imported boxing-toes-cut.bvh, every handle removed";
  const std::string now = title();
  EXPECT_EQ(now.substr(now.size() - std::min(now.size(), said.size())), said) << now;
}

// Down to the last row, the person's one pose; a Delete answered Cancel, two Lefts.
void walkTheLibrary(void*) {
  Fl_Window* library = shownWindow("mannequin: poses");
  if (!library) return Fl::repeat_timeout(0.02, walkTheLibrary);
  for (int i = 0; i < 40; ++i) typeInto(library, FL_Down);
  Fl::add_timeout(0.0, escapeFrom, const_cast<char*>("mannequin"));
  for (int key : {FL_Delete, FL_Left, FL_Left, FL_Enter}) typeInto(library, key);
}

// After a question the arrows still step once per press: two Lefts from the
// person's pose go past the program's last, yoga-warrior, to yoga-tree.
TEST_F(Posing, ThePoseLibrarysArrowsStepOnAfterAQuestion) {
  TempFolder data;
  std::filesystem::create_directories(data.pathOf("mannequin/poses"));
  std::filesystem::copy_file(std::string(MANNEQUIN_CAPTURES) + "/../../data/poses/bowing.png",
                             data.pathOf("mannequin/poses/zz.png"));
  const char* before = std::getenv("XDG_DATA_HOME");
  const std::string kept = before ? before : "";
  setenv("XDG_DATA_HOME", data.path.c_str(), 1);
  Fl::add_timeout(0.0, walkTheLibrary);
  const Outcome applied = choosePose(*document, [] { return std::string(); }, [] {});
  before ? setenv("XDG_DATA_HOME", kept.c_str(), 1) : unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(applied.words, "applied yoga-tree");
}

// ---------------------------------------------------------------- the camera's wheel and lens

using Camera = WindowFixture;

// Each notch zooms a unit, away for a notch down, and the wheel's button is
// no key: the setting key before it still holds.
TEST_F(Camera, TheWheelZoomsAndKeepsTheSettingKey) {
  command('2', 0);
  for (int notch : {-1, 1}) {
    const float before = view->camera->distance;
    Fl::e_dy = notch;
    printedBy([&] { send(FL_MOUSEWHEEL, 300, 300, 0, FL_Button + (notch < 0 ? 4 : 5)); });
    EXPECT_FLOAT_EQ(view->camera->distance, before - notch);
    // The toolkit keeps the wheel's button as the last key for the next event.
    const_cast<Figure*>(figure)->tolerance = 0.01;
    moveTo({300, 301}, FL_Button + (notch < 0 ? 4 : 5));
    EXPECT_EQ(figure->tolerance, 0.001) << notch;
  }
}

// , and . step the lens; the next frame projects with it.
TEST_F(Camera, CommaAndDotStepTheLensAndTheNextFrameUsesIt) {
  for (const auto& [key, degrees] : {std::pair{',', 40}, std::pair{'.', 45}}) {
    command(key, 0);
    EXPECT_EQ(view->camera->fieldOfView, degrees);
    EXPECT_EQ(title(), "mannequin - field of view " + std::to_string(degrees) + " degrees");
    const FrameMatrices m = frameMatrices();
    EXPECT_NEAR(m.projection[5], 1.0 / std::tan(degrees * M_PI / 360), 1e-6) << key;
    EXPECT_NEAR(m.projection[0], m.projection[5] * 665 / 690, 1e-6) << key;
  }
}

// ---------------------------------------------------------------- pictures

using Pictures = WindowFixture;
using Background = PictureOptions::Background;

// 2x and 4x pictures are drawn in tiles through parts of one frustum:
// reduced, they are the view's picture but along the bodies' edges.
TEST_F(Pictures, LargerPicturesAreTheViewsPictureDrawnInTiles) {
  command(FL_F + 5, 0);
  const int w = view->w(), h = view->h();
  const Picture one = picture(w, h, Background::Black);
  for (int n : {2, 4}) {
    SCOPED_TRACE(n);
    const Picture big = picture(n * w, n * h, Background::Black);
    ASSERT_EQ(big.width, n * w);
    ASSERT_EQ(big.height, n * h);
    // Red, which the figure's magenta always has: a box average of n x n.
    const auto red = [](const Picture& p, int x, int y) { return int(p.pixels[(size_t(y) * p.width + x) * 3]); };
    int figure = 0, differing = 0, awayFromEdges = 0;
    for (int y = 1; y < h - 1; ++y) {
      for (int x = 1; x < w - 1; ++x) {
        int sum = 0;
        for (int dy = 0; dy < n; ++dy) {
          for (int dx = 0; dx < n; ++dx) sum += red(big, n * x + dx, n * y + dy);
        }
        const int a = red(one, x, y), b = sum / (n * n);
        figure += a > 0 || b > 0;
        if (std::abs(a - b) <= 24) continue;
        ++differing;
        // An edge: a neighbour in the view's picture differs as much.
        int step = 0;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) step = std::max(step, std::abs(red(one, x + dx, y + dy) - a));
        }
        awayFromEdges += step <= 24;
      }
    }
    EXPECT_GT(figure, 20000);
    EXPECT_LT(double(differing) / figure, 0.06);
    EXPECT_LT(awayFromEdges, differing / 50 + 1);
  }
  // Tiles of another size: the same picture but for the odd pixel on a seam.
  view->make_current();
  const Picture other = renderPicture(*view->camera, *figure, 300, 250, 2 * w, 2 * h, Background::Black);
  const Picture two = picture(2 * w, 2 * h, Background::Black);
  ASSERT_EQ(other.pixels.size(), two.pixels.size());
  size_t differing = 0;
  for (size_t i = 0; i < two.pixels.size(); ++i) differing += two.pixels[i] != other.pixels[i];
  EXPECT_LT(differing, 200u);
  drawFrame();
  const FrameMatrices m = frameMatrices();
  EXPECT_EQ(std::vector<GLint>(m.viewport, m.viewport + 4), (std::vector<GLint>{0, 0, w, h}));
  EXPECT_NEAR(m.projection[5], 1.0 / std::tan(M_PI / 8), 1e-6);
}

// Transparent where nothing was drawn; the same figure on every background.
TEST_F(Pictures, TheBackgroundIsBlackWhiteOrTransparentAroundTheSameFigure) {
  const int w = 2 * view->w(), h = 2 * view->h();
  const Picture black = picture(w, h, Background::Black), white = picture(w, h, Background::White),
                clear = picture(w, h, Background::Transparent);
  ASSERT_EQ(clear.channels, 4);
  int opaque = 0;
  for (size_t i = 0; i < size_t(w) * h; ++i) {
    const unsigned char* b = &black.pixels[3 * i];
    const unsigned char* wh = &white.pixels[3 * i];
    const unsigned char* t = &clear.pixels[4 * i];
    if (t[3] == 255) {
      ++opaque;
      ASSERT_TRUE(std::equal(b, b + 3, t) && std::equal(b, b + 3, wh)) << i;
    } else {
      ASSERT_EQ(t[3], 0);
      ASSERT_TRUE(b[0] == 0 && b[1] == 0 && b[2] == 0 && t[0] == 0 && t[1] == 0 && t[2] == 0) << i;
      ASSERT_TRUE(wh[0] == 255 && wh[1] == 255 && wh[2] == 255) << i;
    }
  }
  EXPECT_GT(opaque, 20000);
  EXPECT_EQ(clear.pixels[3], 0);
  EXPECT_EQ(clear.pixels.back(), 0);
  // The view's own frame is black again.
  EXPECT_TRUE(isBlack(drawAndRead().at(0, 0)));
}

// ---------------------------------------------------------------- reference pictures

// Each view shows its own reference picture, b hides them, and pictures of
// the figure leave them out unless asked.
class References : public WindowFixture, protected TempFolder {
 protected:
  // A picture of one colour, wide enough to cover the view's every corner.
  std::string solid(const std::string& name, unsigned char r, unsigned char g, unsigned char b) {
    Picture p{64, 48, 3, {}};
    for (int i = 0; i < 64 * 48; ++i) p.pixels.insert(p.pixels.end(), {r, g, b});
    put(pathOf(name), encodePng(p, ""));
    return pathOf(name);
  }

  // Opens a pose file with a green picture in front and a blue one on top.
  void openWithPictures() {
    ViewState state;
    state.pictures[0] = ReferencePicture{solid("front.png", 0, 255, 0)};
    state.pictures[4] = ReferencePicture{solid("top.png", 0, 0, 255)};
    put(pathOf("a.pose"), pose_file_text::write(*figure, state, path));
    ASSERT_FALSE(view->openFile(pathOf("a.pose")).refused);
  }

  Rgb corner() { return drawAndRead().at(3, 3); }
};

void expectColour(Rgb c, int r, int g, int b) {
  EXPECT_NEAR(c.r, r, 2);
  EXPECT_NEAR(c.g, g, 2);
  EXPECT_NEAR(c.b, b, 2);
}

TEST_F(References, EachViewShowsOnlyItsOwnPictureAndBHidesThemAll) {
  openWithPictures();
  expectColour(corner(), 0, 0, 0);  // the free camera has none
  command(FL_End, 0, FL_KP + '1');
  expectColour(corner(), 0, 128, 0);  // half opaque over black
  command(FL_Home, 0, FL_KP + '7');
  expectColour(corner(), 0, 0, 128);
  command(FL_Page_Down, 0, FL_KP + '3');
  expectColour(corner(), 0, 0, 0);
  command(FL_End, 0, FL_KP + '1');
  command(']', 0);
  expectColour(corner(), 0, 153, 0);
  command('b', 0);
  expectColour(corner(), 0, 0, 0);
  command(FL_Home, 0, FL_KP + '7');
  expectColour(corner(), 0, 0, 0);
  command('b', 0);
  expectColour(corner(), 0, 0, 128);
  // None of it is a step or a change to save.
  EXPECT_EQ(document->steps().undoCount(), 1u);
  EXPECT_FALSE(document->modified());
}

// Pictures leave the reference out unless asked; they carry the pose alone.
TEST_F(References, PicturesLeaveThemOutUnlessAsked) {
  // The figure's pixels from the front before there is any picture behind it.
  command(FL_End, 0, FL_KP + '1');
  const Picture before = view->figurePicture(view->w(), view->h(), PictureOptions::Background::Black);
  const int figureBefore = magentaIn(before.pixels.data(), before.pixels.size() / 3, 3);
  ASSERT_GT(figureBefore, 1000);
  openWithPictures();
  command(FL_End, 0, FL_KP + '1');
  expectColour(corner(), 0, 128, 0);
  // Without, with, and with in tiles: the reference in the corner only when
  // asked, the figure in its colour over it, and the pose along.
  for (const auto& [references, scale] : {std::pair{false, 1}, std::pair{true, 1}, std::pair{true, 2}}) {
    SCOPED_TRACE(std::to_string(scale) + (references ? "x, with" : "x, without"));
    PictureOptions options;
    options.references = references;
    options.size = scale == 2 ? PictureOptions::Size::Double : PictureOptions::Size::View;
    const std::string out = pathOf("picture.png");
    ASSERT_FALSE(view->exportPicture(out, options, view->w(), view->h()).refused);
    Fl_PNG_Image picture(out.c_str());
    ASSERT_EQ(picture.w(), scale * view->w());
    const auto* pixels = reinterpret_cast<const unsigned char*>(picture.data()[0]);
    const int channels = picture.d();
    const unsigned char* corner = pixels + (3 * picture.w() + 3) * channels;
    expectColour({corner[0], corner[1], corner[2]}, 0, references ? 128 : 0, 0);
    const double expected = scale * scale * figureBefore;
    EXPECT_NEAR(magentaIn(pixels, size_t(picture.w()) * picture.h(), channels), expected, 0.05 * expected);
    std::ifstream in(out, std::ios::binary);
    EXPECT_EQ(pose_picture::read(in).text, pose_text::write(*figure));
  }
}

}  // namespace
