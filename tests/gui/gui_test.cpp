// The real window, document and view under a private X server, driven by
// synthetic toolkit events: what only a real window shows, one check each
// (the gestures', keys' and framing's logic is tested without a display).
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>

#include "pose/PoseText.h"
#include "view/Controls.h"
#include "window_fixture.h"

namespace {

class GuiTest : public WindowFixture {
 protected:
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
};

// ---------------------------------------------------------------- first frame

using FirstFrame = GuiTest;

// The window is 694 by 666 with the view at its corner (e2e_test, find_view);
// the frame looks from the starting camera's eye (pitch 0.2, yaw 1, 20 units
// away) at the origin, up +y, and scales the figure by 5.
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
// where nothing hides it.
TEST_F(FirstFrame, ShowsTheMagentaFigureOnBlackAndTheTriadAtTheCameraCentre) {
  shiftDrag(FL_MIDDLE_MOUSE, {300, 300}, {200, 300});
  drawFrame();
  const FramePixels frame = drawAndRead();
  EXPECT_TRUE(isBlack(frame.at(0, 0)));
  EXPECT_TRUE(isBlack(frame.at(view->w() - 1, view->h() - 1)));
  EXPECT_GT(frame.countAll(isMagenta), 5000);
  for (const char* name : {"h_thigh_left", "h_abdomen", "root"}) {
    const ViewPoint p = project(bodyCentre(segment(name)));
    EXPECT_TRUE(isMagenta(frame.at(int(p.x), int(p.y)))) << name;
  }
  // No handles yet: nothing green but the triad's y axis, one unit up from
  // the camera's centre (a fifth of that in the figure's scale), 4 pixels wide.
  const Vec3 c = view->camera->center * 0.2;
  const ViewPoint base = project(c), tip = project(c + Vec3(0, 0.2f, 0));
  int onAxis = 0, elsewhere = 0;
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      const bool near = std::min(base.x, tip.x) - 3 <= x && x <= std::max(base.x, tip.x) + 3 &&
                        std::min(base.y, tip.y) - 3 <= y && y <= std::max(base.y, tip.y) + 3;
      if (isGreen(frame.at(x, y))) ++(near ? onAxis : elsewhere);
    }
  }
  EXPECT_GT(onAxis, 20);
  EXPECT_EQ(elsewhere, 0);
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

// The picture Ctrl+E saves: the view's frame, the same size, without the
// handles and the triad; wherever the frame shows the figure, the same pixel.
TEST_F(FirstFrame, ThePictureIsTheFrameWithoutHandlesOrTriad) {
  ASSERT_NE(pinOn("h_head"), nullptr);
  const FramePixels frame = drawAndRead();
  FramePixels picture = frame;
  picture.rgb = view->figurePicture(view->w(), view->h(), PictureOptions::Background::Black).pixels;
  ASSERT_EQ(picture.rgb.size(), frame.rgb.size());
  EXPECT_GT(frame.countAll(isGreen), 0);
  EXPECT_EQ(picture.countAll(isGreen), 0);
  int figurePixels = 0, differing = 0;
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      if (!isMagenta(frame.at(x, y))) continue;
      ++figurePixels;
      const Rgb a = frame.at(x, y), b = picture.at(x, y);
      differing += a.r != b.r || a.g != b.g || a.b != b.b;
    }
  }
  EXPECT_GT(figurePixels, 5000);
  EXPECT_EQ(differing, 0);
}

// The pelvis segments have no body: each shows as a magenta line two pixels
// wide from its frame's origin to its end. The other bodies, which hide most
// of them, are taken away for this frame.
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

// ---------------------------------------------------------------- the mouse through GL

using Mouse = GuiTest;

// A click pins at the next frame, through that frame's matrices, exactly
// under the pointer on the body's front; the loop then draws one frame after
// the release, and none while the button is held. A quick click's pick
// still draws the frame that shows it. A pin shows as a green square of 4
// pixels a side until a right click removes it.
TEST_F(Mouse, AClickPinsAtTheNextFrameAndARightClickRemoves) {
  Segment* thigh = segment("h_thigh_left");
  const ViewPoint aim = project(bodyCentre(thigh));
  const Pixel at{nearestPixel(aim.x), nearestPixel(aim.y)};
  press(FL_LEFT_MOUSE, at.x, at.y);
  EXPECT_EQ(gestures().mode(), GestureMode::PickPending);
  drawFrame();
  ASSERT_EQ(thigh->handleCount(), 1);
  EXPECT_EQ(framesWithin(20), 0) << "the pick asked for a frame of its own";
  release(FL_LEFT_MOUSE, at.x, at.y);
  EXPECT_EQ(framesWithin(20), 1);
  const Handle* h = thigh->handles.front();
  const ViewPoint shown = project(h->worldPos);
  EXPECT_NEAR(shown.x, at.x, 0.01);
  EXPECT_NEAR(shown.y, at.y, 0.01);
  EXPECT_LT(shown.depth, aim.depth);
  const FramePixels pinned = drawAndRead();
  EXPECT_EQ(pinned.countNear(shown, 4, isGreen), 16);
  EXPECT_EQ(pinned.countNear(shown, 4, isMagenta), 81 - 16);

  click(FL_RIGHT_MOUSE, at);
  EXPECT_EQ(thigh->handleCount(), 0);
  const FramePixels removed = drawAndRead();
  EXPECT_EQ(removed.countNear(shown, 4, isGreen), 0);
  EXPECT_EQ(removed.countNear(shown, 4, isMagenta), 81);

  press(FL_LEFT_MOUSE, at.x, at.y);
  release(FL_LEFT_MOUSE, at.x, at.y);
  drawFrame();
  EXPECT_EQ(thigh->handleCount(), 1);
  EXPECT_EQ(framesWithin(20), 1);
}

// ---------------------------------------------------------------- keys in the view

using Keys = GuiTest;

// Whether or not the button started anything, no command runs while it is
// held, and the drag goes on with the same handle, as one step.
TEST_F(Keys, KeysDoNothingWhileAButtonIsHeld) {
  const Handle* h = pinOn("h_forearm_left");
  ASSERT_NE(h, nullptr);
  const Pixel at = pixelOf(h->worldPos);
  press(FL_LEFT_MOUSE, at.x, at.y);
  drag(FL_LEFT_MOUSE, at.x + 10, at.y - 10);
  const std::vector<double> dragged = figure->dofs();
  for (int key : {'z', 'y', 'r', 'c', 'v'}) command(key, FL_CTRL | FL_BUTTON1);
  command(FL_F + 1, FL_BUTTON1);
  EXPECT_EQ(figure->handleCount(), 1);
  EXPECT_TRUE(sameVectors(figure->dofs(), dragged));
  EXPECT_FALSE(view->helpShown());
  drag(FL_LEFT_MOUSE, at.x + 20, at.y - 20);
  EXPECT_EQ(gestures().grabbed(), h);
  release(FL_LEFT_MOUSE, at.x + 20, at.y - 20);
  EXPECT_EQ(document->steps().undoCount(), 2u);
  press(FL_MIDDLE_MOUSE, 5, 5);
  command('z', FL_CTRL | FL_BUTTON2);
  EXPECT_EQ(document->steps().undoCount(), 2u);
  release(FL_MIDDLE_MOUSE, 5, 5);
  command('z');
  EXPECT_EQ(document->steps().undoCount(), 1u);
}

// v draws the clay look, a drawing only: no magenta left, no step, and the
// matrices that picking reads are the plain frame's; a held v switches once;
// v again gives back the first frame pixel for pixel.
TEST_F(Keys, VSwitchesToTheClayLookAndBack) {
  const FramePixels plain = drawAndRead();
  const FrameMatrices before = frameMatrices();
  ASSERT_GT(plain.countAll(isMagenta), 5000);
  for (int repeat = 0; repeat < 3; ++repeat) pressCommand('v', 0);
  releaseCommand('v', 0);
  const FramePixels clay = drawAndRead();
  EXPECT_EQ(clay.countAll(isMagenta), 0);
  EXPECT_EQ(document->steps().undoCount(), 0u);
  const FrameMatrices after = frameMatrices();
  EXPECT_TRUE(std::equal(before.modelview, before.modelview + 16, after.modelview));
  EXPECT_TRUE(std::equal(before.projection, before.projection + 16, after.projection));
  command('v', 0);
  EXPECT_EQ(drawAndRead().rgb, plain.rgb);
}

TEST_F(Keys, F1ShowsTheControlsAndEscapeClosesThem) {
  command(FL_F + 1, 0);
  EXPECT_TRUE(view->helpShown());
  EXPECT_EQ(view->w(), 690);
  command(FL_Escape, 0);
  EXPECT_FALSE(view->helpShown());
  // Escape in the help window itself, where the keys go once it has them.
  command(FL_F + 1, 0);
  Fl_Window* help = Fl::first_window();
  while (help && std::strcmp(help->label() ? help->label() : "", "mannequin: controls") != 0) {
    help = Fl::next_window(help);
  }
  ASSERT_NE(help, nullptr);
  Fl::e_keysym = FL_Escape;
  help->handle(FL_KEYBOARD);
  EXPECT_FALSE(view->helpShown());
}

// The clipboard's text through the X server, with this process as its
// owner: what a paste prints, the title says word for word; a button held
// when the text arrives refuses it; a text dropped on the view is no paste.
TEST_F(Keys, PastesComeThroughTheClipboardAndNotByDrop) {
  const auto ask = [this](int modifiers) {
    // The server ignores a claim on the clipboard dated ahead of its own
    // clock, as the test's made-up event times soon are.
    fl_event_time = 0;
    Fl::copy("hello\n", 6, 1);
    command('v', modifiers);
  };
  const auto answer = [this] {
    return printedBy([this] {
      for (int i = 0; i < 500 && view->pasteWaiting(); ++i) Fl::wait(0.01);
    });
  };
  ask(FL_CTRL);
  EXPECT_EQ(answer(), "paste: line 1: not a mannequin pose: it begins with \"hello\"\n");
  EXPECT_EQ(title(), "mannequin - paste: line 1: not a mannequin pose: it begins with \"hello\"");
  ask(FL_CTRL | FL_SHIFT);
  press(FL_LEFT_MOUSE, 5, 5);
  EXPECT_EQ(answer(), "paste mirrored: not done: a mouse button is held\n");
  release(FL_LEFT_MOUSE, 5, 5);

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

using Resizing = GuiTest;

// The next frame fills the new view; a view of no height draws finite
// matrices, and its gestures make no NaN; a picture of it says that it has
// no pixel; grown again, it works as before.
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
  for (int i = 0; i < 5; ++i) Fl::wait(0.01);
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
  EXPECT_TRUE(std::isfinite(gestures().grabDepth()));
  EXPECT_EQ(title(), "untitled* - mannequin - export: the view has no pixel to draw");
  EXPECT_FALSE(std::ifstream("never.png"));

  app->window->size(694, 666);
  for (int i = 0; i < 5; ++i) Fl::wait(0.01);
  drawFrame();
  EXPECT_EQ(frameMatrices().viewport[3], 665);
  EXPECT_NE(pinOn("h_thigh_left"), nullptr);
}

// ---------------------------------------------------------------- posing keys and the pointer

class PointerCheck : public GuiTest {
 protected:
  // A key pressed and released with the pointer at the pixel, as a person
  // types with the mouse over the view, then a frame.
  void keyAt(int key, Pixel at) {
    send(FL_KEYBOARD, at.x, at.y, 0, key);
    send(FL_KEYUP, at.x, at.y, 0, key);
    drawFrame();
  }
  void moveTo(Pixel at, int keysym = 0) { send(FL_MOVE, at.x, at.y, 0, keysym); }
  Pixel headPixel() { return pixelOf(bodyCentre(segment("h_head"))); }
  std::vector<double> jointOf(const char* name) {
    const Segment* s = segment(name);
    std::vector<double> v(static_cast<size_t>(figure->countDofs(s)));
    figure->getDofs(s, v.data());
    return v;
  }
};

using Posing = PointerCheck;

// p and x name their modes in the title, and the part under the pointer
// follows; in mirror mode a click on the left hand pins both hands at the
// next frame.
TEST_F(Posing, PAndXNameTheirModesAndXMirrorsAClickOntoBothHands) {
  const std::string plain = std::string("mannequin - ") + kDefaultSettings;
  command('p', 0);
  EXPECT_EQ(title(), plain + ", firm pins");
  command('p', 0);
  moveTo(headPixel());
  EXPECT_EQ(title(), plain + " - h_head");
  moveTo({2, 2});
  command('x', 0);
  EXPECT_EQ(title(), plain + ", mirror");
  const Pixel at = pixelOf(bodyCentre(segment("h_hand_left")));
  press(FL_LEFT_MOUSE, at.x, at.y);
  EXPECT_EQ(figure->handleCount(), 0);
  drawFrame();
  release(FL_LEFT_MOUSE, at.x, at.y);
  EXPECT_EQ(segment("h_hand_left")->handleCount(), 1);
  EXPECT_EQ(segment("h_hand_right")->handleCount(), 1);
}

// r over the head turns it as the pointer moves, pinning nothing; Escape
// puts it back exactly, Enter keeps it as one step.
TEST_F(Posing, RTurnsTheJointUnderThePointerEscapeUndoesEnterKeeps) {
  const Pixel head = headPixel();
  const std::vector<double> start = jointOf("h_head"), all = figure->dofs();
  const size_t steps = document->steps().undoCount();
  for (int key : {FL_Escape, FL_Enter}) {
    SCOPED_TRACE(key);
    moveTo(head);
    keyAt('r', head);
    for (int i = 1; i <= 3; ++i) moveTo({head.x + 10 * i, head.y + 5 * i});
    EXPECT_FALSE(sameVectors(jointOf("h_head"), start));
    EXPECT_EQ(figure->handleCount(), 0);
    keyAt(key, head);
    EXPECT_EQ(sameVectors(figure->dofs(), all), key == FL_Escape);
    EXPECT_EQ(document->steps().undoCount(), steps + (key == FL_Enter));
  }
}

TEST_F(Posing, CtrlNOnAnUnmodifiedPoseGivesTheStartPose) {
  const std::vector<double> start = figure->dofs();
  command('n');
  EXPECT_TRUE(sameVectors(figure->dofs(), start));
  EXPECT_EQ(figure->handleCount(), 0);
  EXPECT_EQ(title(), "mannequin - new pose");
}

// ---------------------------------------------------------------- the frame chooser

// Answers the capture's frame chooser with a key once it shows, from the
// chooser's own event loop.
int chooserAnswer = 0;
void answerChooser(void*) {
  for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) {
    if (w->label() && std::strcmp(w->label(), "mannequin: capture") == 0) {
      Fl::e_keysym = Fl::e_original_keysym = chooserAnswer;
      Fl::e_state = 0;
      Fl::handle(FL_KEYBOARD, w);
      return;
    }
  }
  Fl::repeat_timeout(0.02, answerChooser);
}

TEST_F(Posing, TheFrameChooserCancelsOnEscapeAndImportsOnEnter) {
  ASSERT_NE(pinOn("h_head"), nullptr);
  const std::vector<double> before = figure->dofs();
  const size_t steps = document->steps().undoCount();
  const std::string path = std::string(MANNEQUIN_CAPTURES) + "/boxing-toes-cut.bvh";
  chooserAnswer = FL_Escape;
  Fl::add_timeout(0.0, answerChooser);
  view->report(view->openFile(path));
  EXPECT_TRUE(sameVectors(figure->dofs(), before));
  EXPECT_EQ(figure->handleCount(), 1);
  EXPECT_EQ(document->steps().undoCount(), steps);
  chooserAnswer = FL_Enter;
  Fl::add_timeout(0.0, answerChooser);
  view->report(view->openFile(path));
  EXPECT_EQ(figure->handleCount(), 0);
  EXPECT_EQ(document->steps().undoCount(), steps + 1);
  const std::string said = "mannequin - imported boxing-toes-cut.bvh, every handle removed";
  const std::string now = title();
  EXPECT_EQ(now.substr(now.size() - std::min(now.size(), said.size())), said) << now;
}

// ---------------------------------------------------------------- the camera's wheel and lens

using Camera = PointerCheck;

// Each notch zooms a unit, away from the figure for a notch down (the
// gesture's own test has more), and the wheel's button is no key: the
// setting key before it still holds.
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

}  // namespace
