// The real window, document and view under a private X server, driven by
// synthetic toolkit events: what a user's presses, drags, keys and pastes do
// to the figure, its handles, the camera and the frames drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "ik_test_util.h"
#include "pose/PoseText.h"
#include "view/Controls.h"
#include "window_fixture.h"

namespace {

bool allFinite(const std::vector<double>& v) {
  return std::all_of(v.begin(), v.end(), [](double d) { return std::isfinite(d); });
}

double maxDifference(const std::vector<double>& a, const std::vector<double>& b) {
  double m = 0.0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) m = std::max(m, std::abs(a[i] - b[i]));
  return m;
}

// The orbit camera's eye around a centre at the origin: `distance` along z,
// turned by the pitch about x, then by the yaw about y.
Vec3 orbitEye(double pitch, double yaw, double distance) {
  return Vec3(float(distance * std::sin(yaw) * std::cos(pitch)), float(-distance * std::sin(pitch)),
              float(distance * std::cos(yaw) * std::cos(pitch)));
}

// Only solver iterations beyond the quiet ones may print, at most ten a solve.
void expectOnlyIterationLines(const std::string& out, int solves) {
  int brem = 0;
  for (const std::string& line : linesOf(out)) {
    EXPECT_EQ(line, "brem");
    brem += line == "brem";
  }
  EXPECT_LE(brem, 10 * solves);
}

class GuiTest : public WindowFixture {
 protected:
  // Two handles: two steps to undo.
  void pinHeadAndThigh() {
    ASSERT_NE(pinOn("h_head"), nullptr);
    ASSERT_NE(pinOn("h_thigh_left"), nullptr);
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

  // The last frame looks from `eye` at the origin, up +y, and scales the figure by 5.
  void expectLastFrameLooksFrom(const Vec3& eye) {
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
};

// ---------------------------------------------------------------- first frame

using FirstFrame = GuiTest;

// The window is 694 by 666 with the view at its corner (e2e_test, find_view).
TEST_F(FirstFrame, UsesTheWholeViewAndTheCamera) {
  expectLastFrameFills(690, 665);
  // The starting camera's look-at followed by the figure's scale of 5.
  expectLastFrameLooksFrom(orbitEye(0.2, 1.0, -20.0));
}

// The triad is drawn at the camera's centre, panned here off the figure,
// where nothing hides it.
TEST_F(FirstFrame, ShowsTheMagentaFigureOnBlackAndTheTriadAtTheCameraCentre) {
  shiftDrag(FL_MIDDLE_MOUSE, {300, 300}, {{200, 300}});
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
  int figure = 0, differing = 0;
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      if (!isMagenta(frame.at(x, y))) continue;
      ++figure;
      const Rgb a = frame.at(x, y), b = picture.at(x, y);
      differing += a.r != b.r || a.g != b.g || a.b != b.b;
    }
  }
  EXPECT_GT(figure, 5000);
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

// ---------------------------------------------------------------- pinning and removing

using Pinning = GuiTest;

TEST_F(Pinning, LeftClickPinsAHandleOnTheBodyUnderThePointer) {
  for (const char* name : {"h_thigh_left", "h_head", "h_abdomen", "h_shin_right"}) {
    SCOPED_TRACE(name);
    Segment* s = segment(name);
    const ViewPoint aim = project(bodyCentre(s));
    const int x = nearestPixel(aim.x), y = nearestPixel(aim.y);
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
    EXPECT_NEAR(length(transformPoint((worldOf(s) * s->shape).inverse(), h->worldPos)), 0.5, 1e-3);
    const ViewPoint shown = project(h->worldPos);
    EXPECT_NEAR(shown.x, x, 0.01);
    EXPECT_NEAR(shown.y, y, 0.01);
    EXPECT_LT(shown.depth, aim.depth);
    EXPECT_EQ(view->mode, Idle);
  }
}

TEST_F(Pinning, PressBeforeTheFirstFramePicksAtThatFrame) {
  // Aim with this view, then press in a fresh one that has not drawn yet:
  // both show the same initial frame.
  const Pixel aim = pixelOf(bodyCentre(segment("h_thigh_left")));
  app.reset();
  document = std::make_unique<PoseDocument>(buildHumanoid());
  openWindow();
  ASSERT_EQ(view->framesDrawn(), 0);
  press(FL_LEFT_MOUSE, aim.x, aim.y);
  EXPECT_EQ(view->mode, PickPending);
  EXPECT_EQ(view->grabbedHandle, nullptr);
  app->show();
  waitForFirstFrame();
  ASSERT_GT(view->framesDrawn(), 0);
  EXPECT_EQ(figure->handleCount(), 1);
  EXPECT_EQ(segment("h_thigh_left")->handleCount(), 1);
}

TEST_F(Pinning, NoPinFromADragBeforeTheNextFrameOrARightClick) {
  const Pixel aim = pixelOf(bodyCentre(segment("h_thigh_left")));
  press(FL_LEFT_MOUSE, aim.x, aim.y);
  drag(FL_LEFT_MOUSE, aim.x + 1, aim.y);
  EXPECT_EQ(view->mode, Idle);
  drawFrame();
  release(FL_LEFT_MOUSE, aim.x + 1, aim.y);
  drawFrame();
  click(FL_RIGHT_MOUSE, aim);
  EXPECT_EQ(figure->handleCount(), 0);
  EXPECT_EQ(segment("h_thigh_left")->handleCount(), 0);
}

// A pin shows as a square green point of 4 pixels a side, on the lit magenta
// body, until a right click removes it.
TEST_F(Pinning, RightClickOnAHandleRemovesItAtTheNextFrame) {
  Segment* thigh = segment("h_thigh_left");
  Handle* h = pinOn("h_thigh_left");
  ASSERT_NE(h, nullptr);
  const ViewPoint p = project(h->worldPos);
  const Pixel at = pixelOf(h->worldPos);
  const std::vector<double> pose = figure->dofs();
  const FramePixels pinned = drawAndRead();
  EXPECT_EQ(pinned.countNear(p, 2, isGreen), 16);
  EXPECT_EQ(pinned.countNear(p, 4, isGreen), 16);
  EXPECT_EQ(pinned.countNear(p, 4, isMagenta), 81 - 16);

  // Within the grab's 4 pixels: the press holds the handle until the frame
  // that removes it lets go of it.
  press(FL_RIGHT_MOUSE, at.x + 2, at.y + 2);
  EXPECT_EQ(view->mode, PickPending);
  EXPECT_EQ(view->grabbedHandle, h);
  EXPECT_EQ(figure->handleCount(), 1) << "removal waits for the next frame";
  drawFrame();
  EXPECT_EQ(view->grabbedHandle, nullptr) << "the view still holds the removed handle";
  EXPECT_EQ(figure->handleCount(), 0);
  EXPECT_TRUE(figure->handles.empty());
  EXPECT_EQ(thigh->handleCount(), 0);
  EXPECT_EQ(view->mode, Idle);
  release(FL_RIGHT_MOUSE, at.x + 2, at.y + 2);
  // Nothing pulls on the figure any more: the relaxation leaves the pose.
  EXPECT_EQ(figure->dofs(), pose);

  const FramePixels frame = drawAndRead();
  EXPECT_EQ(frame.countNear(p, 4, isGreen), 0);
  EXPECT_EQ(frame.countNear(p, 4, isMagenta), 81);
}

// ---------------------------------------------------------------- dragging

using HandleDragging = GuiTest;

// A press anywhere within 4 pixels grabs the handle at its depth.
TEST_F(HandleDragging, HandleFollowsThePointerAndPosesTheFigure) {
  command('3', 0);
  Segment* forearm = segment("h_forearm_left");
  Handle* h = pinOn("h_forearm_left");
  ASSERT_NE(h, nullptr);
  const std::vector<double> before = figure->dofs();
  const ViewPoint start = project(h->worldPos);
  const Pixel at = pixelOf(h->worldPos);

  press(FL_LEFT_MOUSE, at.x + 3, at.y - 3);
  EXPECT_EQ(view->mode, HandleDrag);
  EXPECT_EQ(view->grabbedHandle, h);
  const double depth = view->grabDepth;
  EXPECT_NEAR(depth, start.depth, 1e-6);
  drawFrame();
  for (const Pixel& step : path(at, 3, -2, 10)) {
    SCOPED_TRACE(testing::Message() << "at " << step.x << "," << step.y);
    const std::vector<double> was = figure->dofs();
    const std::string out = printedBy([&] { drag(FL_LEFT_MOUSE, step.x, step.y); });
    expectOnlyIterationLines(out, 1);
    // The pointer's unprojection at the grabbed depth is the target.
    EXPECT_LT(distance(h->targetPos, unproject(step.x, step.y, depth)), 1e-4);
    EXPECT_GT(maxDifference(was, figure->dofs()), 1e-6);
    EXPECT_EQ(view->lastX, step.x);
    EXPECT_EQ(view->lastY, view->h() - step.y);
    // The handle stays on its body and its record follows the new pose.
    EXPECT_LT(distance(h->worldPos, transformPoint(worldOf(forearm), h->localPos)), 1e-4);
    drawFrame();
    const ViewPoint now = project(h->worldPos);
    EXPECT_LT(std::hypot(now.x - step.x, now.y - step.y), 1.0);
  }
  release(FL_LEFT_MOUSE, at.x + 30, at.y - 20);
  EXPECT_EQ(view->mode, Idle);
  EXPECT_EQ(view->grabbedHandle, nullptr);
  drawFrame();

  EXPECT_EQ(figure->segmentOf(h), forearm);
  EXPECT_EQ(figure->handleCount(), 1);
  EXPECT_TRUE(allFinite(figure->dofs()));
  EXPECT_GT(maxDifference(before, figure->dofs()), 0.01);
  // The green point is drawn where the pointer let go.
  const FramePixels frame = drawAndRead();
  EXPECT_GE(frame.countNear(ViewPoint{double(at.x + 30), double(at.y - 20), 0}, 3, isGreen), 9);
  EXPECT_EQ(frame.countNear(start, 3, isGreen), 0);
  // A drag after the release moves nothing.
  const std::vector<double> posed = figure->dofs();
  drag(FL_LEFT_MOUSE, at.x, at.y);
  EXPECT_EQ(figure->dofs(), posed);
}

TEST_F(HandleDragging, DragsOnTheEdgeOrOutsideRunNoSolve) {
  command('3', 0);
  Handle* h = pinOn("h_forearm_left");
  ASSERT_NE(h, nullptr);
  const Pixel at = pixelOf(h->worldPos);
  press(FL_LEFT_MOUSE, at.x, at.y);
  ASSERT_EQ(view->mode, HandleDrag);
  const int w = view->w(), ht = view->h();
  const std::vector<double> pose = figure->dofs();
  const Vec3 target = h->targetPos;
  const Vec3 was = h->worldPos;
  for (const Pixel& q : std::vector<Pixel>{
           {0, at.y}, {at.x, 0}, {0, 0}, {-7, at.y}, {at.x, -7}, {w, at.y}, {at.x, ht}, {w + 20, ht + 20}}) {
    SCOPED_TRACE(testing::Message() << q.x << "," << q.y);
    drag(FL_LEFT_MOUSE, q.x, q.y);
    EXPECT_EQ(figure->dofs(), pose);
    EXPECT_PRED2(sameVec3, h->targetPos, target);
    EXPECT_PRED2(sameVec3, h->worldPos, was);
    EXPECT_EQ(view->lastX, q.x);
    EXPECT_EQ(view->lastY, ht - q.y);
    EXPECT_EQ(view->mode, HandleDrag);
    drawFrame();
  }
  // Back inside, the drag solves again.
  const std::string out = printedBy([&] { drag(FL_LEFT_MOUSE, at.x + 5, at.y + 5); });
  EXPECT_NE(figure->dofs(), pose);
  expectOnlyIterationLines(out, 1);
  release(FL_LEFT_MOUSE, at.x + 5, at.y + 5);
}

// A right press away from every handle while the left button holds one lets
// go of it and keeps the drag: the drags that follow solve with no dragged
// handle, which relaxes the figure towards the handles' targets.
TEST_F(HandleDragging, RightPressAwayFromHandlesLetsGoAndRelaxes) {
  command('3', 0);
  Handle* forearm = pinOn("h_forearm_left");
  Handle* shin = pinOn("h_shin_right");
  ASSERT_NE(forearm, nullptr);
  ASSERT_NE(shin, nullptr);
  forearm->targetPos = forearm->worldPos + Vec3(0, 0.05f, 0.05f);  // something to relax
  const double gap = distance(forearm->worldPos, forearm->targetPos);
  const Vec3 shinTarget = shin->targetPos;
  const Pixel at = pixelOf(shin->worldPos);
  press(FL_LEFT_MOUSE, at.x, at.y);
  ASSERT_EQ(view->grabbedHandle, shin);
  drawFrame();

  press(FL_RIGHT_MOUSE, 20, 20);  // the background, far from both handles
  EXPECT_EQ(view->mode, HandleDrag);
  EXPECT_EQ(view->grabbedHandle, nullptr);
  const std::string out = printedBy([this] { drag(FL_RIGHT_MOUSE, 30, 30); });
  drawFrame();

  EXPECT_LT(distance(forearm->worldPos, forearm->targetPos), 0.5 * gap);
  EXPECT_PRED2(sameVec3, shin->targetPos, shinTarget) << "no handle is dragged";
  EXPECT_EQ(out.find("YOU suck"), std::string::npos);
  release(FL_RIGHT_MOUSE, 30, 30);
  EXPECT_EQ(view->mode, Idle);
}

TEST_F(HandleDragging, FailedUnprojectionIsReportedAndKeepsTheTarget) {
  Handle* h = pinOn("h_forearm_left");
  ASSERT_NE(h, nullptr);
  const Pixel at = pixelOf(h->worldPos);
  // Zoom onto the centre itself: the next frame's look-at is singular.
  shiftDrag(FL_RIGHT_MOUSE, {600, 400}, {{600, 300}, {600, 200}});
  ASSERT_EQ(view->camera->distance, 0.0f);
  // Grab with the last good frame, then draw the degenerate one.
  press(FL_LEFT_MOUSE, at.x, at.y);
  ASSERT_EQ(view->grabbedHandle, h);
  drawFrame();
  const Vec3 target = h->targetPos;
  const std::string out = printedBy([&] { drag(FL_LEFT_MOUSE, at.x + 10, at.y); });
  release(FL_LEFT_MOUSE, at.x + 10, at.y);
  const std::vector<std::string> printed = linesOf(out);
  ASSERT_FALSE(printed.empty());
  EXPECT_EQ(printed.front(), "YOU suck!!!");
  EXPECT_PRED2(sameVec3, h->targetPos, target);
  EXPECT_TRUE(allFinite(figure->dofs()));
}

// ---------------------------------------------------------------- keys

using Keys = GuiTest;

// Each setting key as the solver and the title take it, without a solve;
// other keys change nothing.
TEST_F(Keys, SettingKeysSetTheSolverAndTheTitle) {
  EXPECT_EQ(title(), std::string("mannequin - ") + kDefaultSettings);
  for (char c : {'a', 'x', 'S', '0', '9', ' '}) command(c, 0);
  EXPECT_EQ(title(), std::string("mannequin - ") + kDefaultSettings);
  std::vector<double> bent = figure->dofs();
  bent[11] = 2.5;  // the left knee, beyond its limit of 1.57
  figure->setDofs(bent);
  const std::pair<char, const char*> steps[] = {
      {'3', "tolerance 0.0001, limits off, uniform weights"}, {'2', "tolerance 0.001, limits off, uniform weights"},
      {'n', "tolerance 0.001, limits on, uniform weights"},   {'s', "tolerance 0.001, limits on, limb weights"},
      {'1', "tolerance 0.01, limits on, limb weights"},       {'m', "tolerance 0.01, limits off, limb weights"},
      {'d', "tolerance 0.01, limits off, uniform weights"},
  };
  for (const auto& [key, settings] : steps) {
    command(key, 0);
    EXPECT_EQ(title(), std::string("mannequin - ") + settings) << key;
    if (key == 's') expectLimbWeights(*figure);
  }
  expectUniformWeights(*figure);
  EXPECT_EQ(figure->dofs(), bent);
}

// A letter or digit with Ctrl or Alt is a command: the settings see it
// neither at its press nor on the events after it, which re-apply the last
// key they did see.
TEST_F(Keys, KeysWithCtrlOrAltAreNoSettings) {
  command('2', 0);
  // Ctrl+S is a command of its own: it saves.
  const std::pair<int, const char*> presses[] = {{FL_CTRL, "13n"}, {FL_ALT, "13ns"}, {FL_CTRL | FL_SHIFT, "13n"}};
  for (const auto& [modifier, keys] : presses) {
    for (const char* key = keys; *key; ++key) {
      send(FL_KEYBOARD, 100, 100, modifier, *key);
      send(FL_MOVE, 110, 100, 0, *key);  // the toolkit still holds the key
      send(FL_KEYUP, 100, 100, 0, *key);
    }
  }
  EXPECT_EQ(title(), "mannequin - tolerance 0.001, limits off, uniform weights");
  figure->tolerance = 0.01;
  send(FL_MOVE, 120, 100, 0, 'n');  // still the last key, pressed with Ctrl
  EXPECT_EQ(figure->tolerance, 0.001) << "the last key the settings saw was 2";
  EXPECT_FALSE(figure->limitsEnabled);
  expectUniformWeights(*figure);
}

// For five seconds from the latest words, then the settings again.
TEST_F(Keys, TheTitleSaysWhatCameOfAnAction) {
  command('z');
  EXPECT_EQ(title(), "mannequin - nothing to undo");
  framesWithin(200);
  command('y');
  EXPECT_EQ(title(), "mannequin - nothing to redo");
  command('c');
  EXPECT_EQ(title(), "mannequin - copied");
  const auto said = std::chrono::steady_clock::now();
  while (title() == "mannequin - copied" && std::chrono::steady_clock::now() - said < std::chrono::seconds(8)) {
    Fl::wait(0.1);
  }
  EXPECT_GT(std::chrono::steady_clock::now() - said, std::chrono::milliseconds(4900));
  EXPECT_EQ(title(), std::string("mannequin - ") + kDefaultSettings);
}

// ---------------------------------------------------------------- command keys

// Each reaches its verb once per press and none acts while a button is held;
// what the verbs do to the pose and its steps is the document's affair.
using History = GuiTest;

// The toolkit repeats the press of a held key with no release between, or as
// a release and a press at the same moment; only the key's own release ends
// its hold, and a new press, however soon, acts again.
TEST_F(History, AHeldKeyUndoesOneStep) {
  ASSERT_NO_FATAL_FAILURE(pinHeadAndThigh());
  pressCommand('z');
  pressCommand('z');
  releaseCommand('x');
  pressCommand('z');
  releaseCommand('z');
  fl_event_time -= 10;
  pressCommand('z');
  EXPECT_EQ(figure->handleCount(), 1);
  releaseCommand('z');
  command('z');
  EXPECT_EQ(figure->handleCount(), 0);
}

// Ctrl with Alt is no command.
TEST_F(History, CtrlZUndoesCtrlYOrCtrlShiftZRedoAndCtrlRResets) {
  ASSERT_NO_FATAL_FAILURE(pinHeadAndThigh());
  command('z', FL_CTRL | FL_ALT);
  EXPECT_EQ(figure->handleCount(), 2);
  command('z');
  EXPECT_EQ(figure->handleCount(), 1);
  command('y');
  EXPECT_EQ(figure->handleCount(), 2);
  command('z');
  command('z', FL_CTRL | FL_SHIFT);
  EXPECT_EQ(figure->handleCount(), 2);
  command('r');
  EXPECT_EQ(figure->handleCount(), 0);
}

// A click, Ctrl+Z and Ctrl+Q in one burst, before any frame: the click's
// pick runs in the frame, the commands after it from the event loop, in
// their order, never inside the draw.
TEST_F(History, CommandsRightAfterAClickRunAfterItsPickOutsideTheDraw) {
  ASSERT_NE(pinOn("h_head"), nullptr);
  int closes = 0;
  app->window->callback([](Fl_Widget*, void* n) { ++*static_cast<int*>(n); }, &closes);
  const Pixel at = pixelOf(bodyCentre(segment("h_thigh_left")));
  press(FL_LEFT_MOUSE, at.x, at.y);
  release(FL_LEFT_MOUSE, at.x, at.y);
  for (int key : {'z', 'q'}) {
    pressCommand(key);
    releaseCommand(key);
  }
  drawFrame();
  EXPECT_EQ(figure->handleCount(), 2);
  EXPECT_EQ(closes, 0);
  framesWithin(5);
  EXPECT_EQ(figure->handleCount(), 1);
  EXPECT_EQ(figure->handles.front().segment, segment("h_head"));
  EXPECT_EQ(closes, 1);
}

// Whether or not the button started anything; the drag goes on with the
// same handle, as one step.
TEST_F(History, KeysDoNothingWhileAButtonIsHeld) {
  Handle* h = pinOn("h_forearm_left");
  ASSERT_NE(h, nullptr);
  command('3', 0);
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
  EXPECT_EQ(view->grabbedHandle, figure->handles.front().handle);
  release(FL_LEFT_MOUSE, at.x + 20, at.y - 20);
  EXPECT_EQ(document->steps().undoCount(), 2u);
  press(FL_MIDDLE_MOUSE, 5, 5);
  command('z', FL_CTRL | FL_BUTTON2);
  EXPECT_EQ(document->steps().undoCount(), 2u);
  release(FL_MIDDLE_MOUSE, 5, 5);
  command('z');
  EXPECT_EQ(document->steps().undoCount(), 1u);
}

TEST_F(History, F1ShowsTheControlsAndEscapeClosesThem) {
  command(FL_F + 1, 0);
  EXPECT_TRUE(view->helpShown());
  EXPECT_EQ(app->window->w(), 694);
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

// ---------------------------------------------------------------- pasting

// The clipboard's text through the X server, with this process as its owner.
class Pasting : public GuiTest {
 protected:
  // Puts text on the clipboard and presses Ctrl+V (with more held).
  void askToPaste(const std::string& text, int modifiers = FL_CTRL) {
    // The server ignores a claim on the clipboard dated ahead of its own
    // clock, as the test's made-up event times soon are.
    fl_event_time = 0;
    Fl::copy(text.c_str(), static_cast<int>(text.size()), 1);
    command('v', modifiers);
  }
  // Runs the event loop until the answer has come; what it printed.
  std::string answer() {
    return printedBy([this] {
      for (int i = 0; i < 500 && view->pasteWaiting(); ++i) Fl::wait(0.01);
    });
  }
};

// What a paste prints, the title says word for word; a button held when the
// text arrives refuses it.
TEST_F(Pasting, ARefusalShowsInTheTitleAndAHeldButtonRefusesTheText) {
  askToPaste("hello\n");
  EXPECT_EQ(answer(), "paste: line 1: not a mannequin pose: it begins with \"hello\"\n");
  EXPECT_EQ(title(), "mannequin - paste: line 1: not a mannequin pose: it begins with \"hello\"");
  askToPaste("hello\n", FL_CTRL | FL_SHIFT);
  press(FL_LEFT_MOUSE, 5, 5);
  EXPECT_EQ(answer(), "paste mirrored: not done: a mouse button is held\n");
  release(FL_LEFT_MOUSE, 5, 5);
}

TEST_F(Pasting, TextDroppedOnTheViewIsNoPaste) {
  ASSERT_NE(pinOn("h_head"), nullptr);
  std::string text = pose_text::write(*figure);
  command('r');
  send(FL_DND_RELEASE, 100, 100, 0, 'v');
  Fl::e_text = text.data();
  Fl::e_length = static_cast<int>(text.size());
  send(FL_PASTE, 100, 100, 0, 'v');
  EXPECT_EQ(figure->handleCount(), 0);
}

// ---------------------------------------------------------------- camera

using Camera = GuiTest;

// How far a pixel turns the camera is camera_test's; the view gives it the
// drag, and its next frame looks from the new eye without posing the figure.
TEST_F(Camera, ShiftLeftDragRotates) {
  const OrbitCamera& c = *view->camera;
  const std::vector<double> pose = figure->dofs();
  press(FL_LEFT_MOUSE, 300, 300, FL_SHIFT);
  EXPECT_EQ(view->mode, CameraMove);
  EXPECT_EQ(c.mode, Rotate);
  EXPECT_EQ(printedBy([this] { drag(FL_LEFT_MOUSE, 480, 318, FL_SHIFT); }), "[180 18 -0]\n");
  release(FL_LEFT_MOUSE, 480, 318, FL_SHIFT);
  EXPECT_EQ(view->mode, Idle);
  EXPECT_EQ(c.mode, Inactive);
  EXPECT_NEAR(c.yaw, 0.0f, 1e-6);
  EXPECT_EQ(length(c.center), 0.0f);
  drawFrame();
  expectLastFrameLooksFrom(orbitEye(c.pitch, c.yaw, c.distance));
  EXPECT_EQ(figure->dofs(), pose);
  EXPECT_EQ(figure->handleCount(), 0);
}

TEST_F(Camera, HomePutsItBackAsItStartedInNoStep) {
  const FramePixels first = drawAndRead();
  for (int button : {FL_LEFT_MOUSE, FL_MIDDLE_MOUSE, FL_RIGHT_MOUSE}) shiftDrag(button, {300, 300}, {{340, 330}});
  ASSERT_NE(view->camera->yaw, 1.0f);
  command(FL_Home, 0);
  EXPECT_EQ(view->camera->pitch, 0.2f);
  EXPECT_EQ(view->camera->yaw, 1.0f);
  EXPECT_EQ(view->camera->distance, -20.0f);
  EXPECT_EQ(length(view->camera->center), 0.0f);
  EXPECT_EQ(drawAndRead().rgb, first.rgb);
  EXPECT_EQ(document->steps().undoCount(), 0u);
}

// What the pan and zoom do to the picture is the camera's own affair; the
// view gives them the drags of the middle and the right button, with Shift only.
TEST_F(Camera, ShiftMiddleDragPansAndShiftRightDragZooms) {
  const OrbitCamera& c = *view->camera;
  for (int b : {FL_LEFT_MOUSE, FL_MIDDLE_MOUSE}) {
    EXPECT_EQ(printedBy([&] { press(b, 600, 600); drag(b, 610, 600); release(b, 610, 600); }), "");
  }
  EXPECT_EQ(shiftDrag(FL_MIDDLE_MOUSE, {400, 400}, path({400, 400}, 10, 5, 4)),
            "[10 5 -0]\n[10 5 -0]\n[10 5 -0]\n[10 5 -0]\n");
  // 0.02 units a pixel: 40 pixels across and 20 down move the centre by 0.89.
  EXPECT_NEAR(length(c.center), 0.02 * std::hypot(40.0, 20.0), 1e-3);
  EXPECT_EQ(shiftDrag(FL_RIGHT_MOUSE, {200, 300}, {{203, 320}, {203, 350}}), "[3 20 -0]\n[0 30 -0]\n");
  // Ten pixels down move the eye a unit away: 50 pixels, from 20 to 25.
  EXPECT_NEAR(c.distance, -25.0f, 1e-5);
  EXPECT_EQ(c.yaw, 1.0f);
  EXPECT_EQ(c.pitch, 0.2f);
}

TEST_F(Camera, ShiftPressOnAHandleMovesTheCameraOnly) {
  Handle* h = pinOn("h_thigh_left");
  ASSERT_NE(h, nullptr);
  const Pixel at = pixelOf(h->worldPos);
  const std::vector<double> pose = figure->dofs();
  const std::string out = printedBy([&] {
    press(FL_LEFT_MOUSE, at.x, at.y, FL_SHIFT);
    drawFrame();
    drag(FL_LEFT_MOUSE, at.x + 10, at.y, FL_SHIFT);
    drawFrame();
    release(FL_LEFT_MOUSE, at.x + 10, at.y, FL_SHIFT);
    drawFrame();
  });
  EXPECT_EQ(out, "[10 0 -0]\n");
  EXPECT_EQ(view->grabbedHandle, nullptr);
  EXPECT_EQ(figure->dofs(), pose);
  EXPECT_EQ(figure->handleCount(), 1);
  EXPECT_NE(view->camera->yaw, 1.0f);
}

// ---------------------------------------------------------------- resizing

using Resizing = GuiTest;

TEST_F(Resizing, NextFrameUsesTheNewViewport) {
  app->window->size(500, 400);
  EXPECT_EQ(view->w(), 496);
  EXPECT_EQ(view->h(), 399);
  // The very next frame.
  drawFrame();
  expectLastFrameFills(496, 399);

  // Picks and drags flip y with the new height.
  Handle* h = pinOn("h_thigh_left");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(figure->segmentOf(h), segment("h_thigh_left"));
  const ViewPoint p = project(h->worldPos);
  const Pixel at = pixelOf(h->worldPos);
  press(FL_LEFT_MOUSE, at.x, at.y);
  EXPECT_EQ(view->grabbedHandle, h);
  EXPECT_EQ(view->lastY, 399 - at.y);
  release(FL_LEFT_MOUSE, at.x, at.y);

  // The frame shows the figure across the smaller view.
  const FramePixels frame = drawAndRead();
  EXPECT_GT(frame.countAll(isMagenta), 3000);
  EXPECT_GE(frame.countNear(p, 2, isGreen), 9);
}

TEST_F(Resizing, ZeroHeightMakesNoNaN) {
  Handle* h = pinOn("h_forearm_left");
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

  // Pressing, dragging and zooming in a view of no height.
  const std::string out = printedBy([&] {
    press(FL_LEFT_MOUSE, at.x, at.y);
    drawFrame();
    drag(FL_LEFT_MOUSE, at.x + 10, at.y - 10);
    drawFrame();
    release(FL_LEFT_MOUSE, at.x + 10, at.y - 10);
    click(FL_RIGHT_MOUSE, {at.x, 0});
    click(FL_LEFT_MOUSE, {at.x, 0});
    press(FL_LEFT_MOUSE, 100, 0, FL_SHIFT);
    drag(FL_LEFT_MOUSE, 110, 0, FL_SHIFT);
    release(FL_LEFT_MOUSE, 110, 0, FL_SHIFT);
    drawFrame();
  });
  // The handles too stay finite in random_input_test's squashed views.
  EXPECT_EQ(out.find("YOU suck"), std::string::npos);
  EXPECT_TRUE(allFinite(figure->dofs()));
  EXPECT_TRUE(std::isfinite(view->grabDepth));
  EXPECT_TRUE(view->camera->eye.isFinite());
  // A picture of no pixel says so, without a dialog.
  printedBy([&] { view->run(Command::ExportPicture); });
  EXPECT_EQ(title(), "untitled* - mannequin - export: the view has no pixel to draw");

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
  const Pixel aim = pixelOf(bodyCentre(segment("h_thigh_left")));
  press(FL_LEFT_MOUSE, aim.x, aim.y);
  release(FL_LEFT_MOUSE, aim.x, aim.y);
  EXPECT_EQ(view->mode, PickPending);
  drawFrame();
  EXPECT_EQ(view->mode, Idle);
  EXPECT_EQ(figure->handleCount(), 1);
  EXPECT_EQ(segment("h_thigh_left")->handleCount(), 1);
  // With no further event, the event loop still draws the frame that shows it.
  EXPECT_EQ(framesWithin(20), 1);
}

// A left press 4 to 5 pixels from a handle misses it for grabbing (radius 4)
// but the pick at the next frame searches 5 pixels and removes it: a click
// right beside a handle takes it away, one a pixel further does not.
TEST_F(ClickTiming, LeftClickJustBesideAHandleRemovesIt) {
  Handle* h = pinOn("h_thigh_left");
  ASSERT_NE(h, nullptr);
  // Shift the view by a fraction of a pixel so that whole-pixel presses can
  // land between 4 and 5 pixels from the handle.
  shiftDrag(FL_MIDDLE_MOUSE, {600, 600}, {{601, 601}});
  drawFrame();
  const ViewPoint p = project(h->worldPos);
  int x = int(std::floor(p.x)) + 5, y = nearestPixel(p.y);
  if (x - p.x > 4.9 || x - p.x < 4.1) {
    x = nearestPixel(p.x);
    y = int(std::floor(p.y)) + 5;
  }
  const bool across = x - p.x >= 4.1 && x - p.x <= 4.9;
  ASSERT_TRUE(across || (y - p.y >= 4.1 && y - p.y <= 4.9));

  // A pixel further, beyond the search, the click pins a handle of its own.
  Handle* past = pinAt(across ? Pixel{x + 1, y} : Pixel{x, y + 1});
  ASSERT_NE(past, nullptr);
  EXPECT_NE(figure->segmentOf(h), nullptr);
  click(FL_RIGHT_MOUSE, pixelOf(past->worldPos));
  ASSERT_EQ(figure->handleCount(), 1);

  press(FL_LEFT_MOUSE, x, y);
  ASSERT_EQ(view->mode, PickPending) << "not on the handle";
  printedBy([this] { drawFrame(); });
  release(FL_LEFT_MOUSE, x, y);
  drawFrame();
  EXPECT_EQ(figure->segmentOf(h), nullptr);
  EXPECT_EQ(figure->handleCount(), 0);
}

// A normal click's pick is shown by the frame its release asks for: while
// the button is held after the pick, the loop draws nothing more, and after
// the release it draws one frame and rests.
TEST_F(ClickTiming, ANormalClickDrawsOneFrameAfterItsRelease) {
  const Pixel aim = pixelOf(bodyCentre(segment("h_thigh_left")));
  press(FL_LEFT_MOUSE, aim.x, aim.y);
  drawFrame();
  ASSERT_EQ(figure->handleCount(), 1);
  EXPECT_EQ(framesWithin(20), 0) << "the pick asked for a frame of its own";
  release(FL_LEFT_MOUSE, aim.x, aim.y);
  EXPECT_EQ(framesWithin(20), 1);
}

}  // namespace
