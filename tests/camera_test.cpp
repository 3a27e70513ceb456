// The orbit camera's motions, and the named views and the framing key as
// pure geometry: every point of the figure's bodies lies inside the
// camera's frustum with a margin, through a look-at written here as GL's is.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "flat_scene.h"
#include "humanoid/Humanoid.h"
#include "ik_test_util.h"
#include "view/OrbitCamera.h"
#include "view/SceneDrawing.h"
#include "view/ViewFraming.h"

TEST(OrbitCamera, DefaultsLookAtTheOriginFromAboveAndBehind) {
  OrbitCamera c;
  EXPECT_NEAR(c.eye.x, -16.49, 0.005);
  EXPECT_NEAR(c.eye.y, 3.97, 0.005);
  EXPECT_NEAR(c.eye.z, -10.59, 0.005);
  EXPECT_EQ(std::make_pair(c.up.x, c.up.y), std::make_pair(0.0f, 1.0f));
}

// Up flips strictly between pi/2 and 3pi/2, whose floats round above them;
// the remainder keeps the pitch's sign, so a negative pitch never flips.
TEST(OrbitCamera, UpFlipsStrictlyBetweenHalfPiAndThreeHalvesPi) {
  const float halfPi = static_cast<float>(M_PI / 2), threeHalves = static_cast<float>(3 * M_PI / 2);
  const std::pair<float, float> ups[] = {
      {std::nextafter(halfPi, 0.0f), 1.0f},      {halfPi, -1.0f},     {2.0f, -1.0f},
      {std::nextafter(threeHalves, 0.0f), -1.0f}, {threeHalves, 1.0f}, {5.0f, 1.0f},
      {-2.0f, 1.0f}, {-4.0f, 1.0f}, {2.0f + static_cast<float>(2 * M_PI), -1.0f},
      {-std::numeric_limits<float>::infinity(), 1.0f}};
  for (const auto& [pitch, up] : ups) {
    OrbitCamera c;
    c.pitch = pitch;
    c.recompute();
    EXPECT_EQ(c.up.y, up) << pitch;
  }
}

// Each drag step traces its motion, even with no mode; a rotation turns
// 1 radian per 180 pixels, a zoom moves 1 unit per 10, through zero too.
TEST(OrbitCamera, RotateZoomAndTheirTraces) {
  const struct {
    int mode, x, y;
    const char* trace;
    float yaw, pitch, distance;
  } drags[] = {{Rotate, 280, 100, "[180 0 -0]\n", 0.0f, 0.2f, -20.0f},
               {Rotate, 100, 280, "[0 180 -0]\n", 1.0f, 1.2f, -20.0f},
               {Zoom, 100, 110, "[0 10 -0]\n", 1.0f, 0.2f, -21.0f},
               {Zoom, 100, -110, "[0 -210 -0]\n", 1.0f, 0.2f, 1.0f},
               {Inactive, 103, 98, "[3 -2 -0]\n", 1.0f, 0.2f, -20.0f}};
  for (const auto& d : drags) {
    OrbitCamera c;
    c.begin(d.mode, 100, 100);
    EXPECT_EQ(printedBy([&] { c.drag(d.x, d.y); }), d.trace);
    EXPECT_NEAR(c.yaw, d.yaw, 1e-6) << d.trace;
    EXPECT_NEAR(c.pitch, d.pitch, 1e-6) << d.trace;
    EXPECT_NEAR(c.distance, d.distance, 1e-4) << d.trace;
    EXPECT_EQ(c.dirty, d.mode != Inactive);
    EXPECT_EQ(printedBy([&] { c.drag(d.x, d.y); }), "[0 0 -0]\n");
    c.end(0, 0);
    EXPECT_EQ(c.mode, Inactive);
  }
}

// The pointer moves right, the centre left, 0.02 a pixel; down, the centre
// up; the eye follows the centre. With the eye on the centre there is no
// screen plane: nothing moves.
TEST(OrbitCamera, PanMovesTheCentreAcrossTheScreen) {
  OrbitCamera c;
  c.yaw = 0.0f;
  c.pitch = 0.0f;
  c.distance = 0.0f;
  c.recompute();
  c.begin(Pan, 0, 0);
  printedBy([&] { c.drag(7, 9); });
  EXPECT_EQ(std::make_tuple(c.center.x, c.center.y, c.center.z), std::make_tuple(0.0f, 0.0f, 0.0f));
  c.distance = -20.0f;
  c.recompute();  // eye on -z, looking along +z; screen right is -x
  c.begin(Pan, 0, 0);
  printedBy([&] { c.drag(10, 0); });
  EXPECT_NEAR(c.center.x, 0.2f, 1e-6);
  EXPECT_NEAR(c.center.y, 0.0f, 1e-6);
  printedBy([&] { c.drag(10, 10); });
  EXPECT_NEAR(c.center.y, 0.2f, 1e-6);
  EXPECT_TRUE(c.dirty);
  c.recompute();
  EXPECT_NEAR(c.eye.x, 0.2f, 1e-6);
}

// The lens steps by 5 degrees from 15 to 90 and no further.
TEST(OrbitCamera, TheLensStopsAtItsNarrowestAndWidest) {
  OrbitCamera c;
  EXPECT_TRUE(c.changeLens(100));
  EXPECT_EQ(c.fieldOfView, 90.0);
  EXPECT_FALSE(c.changeLens(1));
  EXPECT_TRUE(c.changeLens(-100));
  EXPECT_EQ(c.fieldOfView, 15.0);
  EXPECT_FALSE(c.changeLens(-1));
}

namespace {

Vec3 unit(const Vec3& v) { return v * (1.0 / length(v)); }

// The camera's frame as gluLookAt builds it.
struct Eye {
  Vec3 at, forward, right, up;
  explicit Eye(const OrbitCamera& c)
      : at(c.eye), forward(unit(c.center - c.eye)), right(unit(cross(forward, c.up))), up(cross(right, forward)) {}
};

// Points on every body's surface and along every shapeless segment, in the
// drawn scene's units.
std::vector<Vec3> figurePoints(const Figure& f) {
  std::vector<Vec3> points;
  for (const Segment* s : f.segments()) {
    const Mat4 world = worldOf(s);
    if (!s->hasShape) {
      points.push_back(transformPoint(world, Vec3()) * kFigureScale);
      points.push_back(transformPoint(world, s->endOffset) * kFigureScale);
      continue;
    }
    for (int i = 0; i <= 12; ++i) {
      for (int j = 0; j < 24; ++j) {
        const double a = M_PI * i / 12, b = 2 * M_PI * j / 24;
        const Vec3 d(float(std::sin(a) * std::cos(b)), float(std::cos(a)), float(std::sin(a) * std::sin(b)));
        points.push_back(transformPoint(world * s->shape, d * 0.5) * kFigureScale);
      }
    }
  }
  return points;
}

// Every point beyond the near plane and within 88% of the half-frame (a
// margin of 6% each side); the figure fills that share but for the points'
// spacing, across or up.
void expectFramed(const OrbitCamera& c, const Figure& f, double aspect) {
  const Eye eye(c);
  const double ty = std::tan(c.fieldOfView / 2 * M_PI / 180), tx = ty * aspect;
  double used = 0;
  for (const Vec3& p : figurePoints(f)) {
    const Vec3 v = p - eye.at;
    const double z = dot(v, eye.forward);
    EXPECT_GT(z, kNearPlane);
    const double across = std::abs(dot(v, eye.right)) / (z * tx), up = std::abs(dot(v, eye.up)) / (z * ty);
    EXPECT_LE(std::max(across, up), 0.88 + 1e-5) << p;
    used = std::max(used, std::max(across, up));
  }
  EXPECT_GT(used, 0.87);
}

struct Side {
  ViewSide side;
  Vec3 toEye, screenRight, screenUp;  // by the figure's front F and left L below
};

}  // namespace

// From the front the figure's left shows on the right; from above its toes
// point down the picture. Each view frames the whole figure, filling most of
// the picture one way, whatever the picture's proportions.
TEST(ViewFraming, EachSideShowsTheWholeFigureTheRightWayUp) {
  auto figure = buildHumanoid();
  for (const Vec3& front : {figure->front, Vec3(0, 0, 1)}) {
    figure->front = front;
    figure->left = cross(Vec3(0, 1, 0), front);  // +y up, as the humanoid's
    const Vec3 F = front, L = figure->left, Y(0, 1, 0);
    const Side sides[] = {{ViewSide::Front, F, L, Y},          {ViewSide::Back, F * -1, L * -1, Y},
                          {ViewSide::Right, L * -1, F, Y},     {ViewSide::Left, L, F * -1, Y},
                          {ViewSide::Top, Y, L, F * -1},       {ViewSide::Bottom, Y * -1, L, F}};
    for (const Side& s : sides) {
      for (double aspect : {690.0 / 665, 2.0, 0.5}) {
        SCOPED_TRACE(testing::Message() << "side " << int(s.side) << ", front " << front << ", aspect " << aspect);
        OrbitCamera c;
        c.center = Vec3(3, 4, 5);
        // The narrowest and the widest lens, one side each.
        c.fieldOfView = aspect == 2.0 ? OrbitCamera::kNarrowest : aspect == 0.5 ? OrbitCamera::kWidest : 45.0;
        lookFrom(c, s.side, *figure, aspect);
        const Eye eye(c);
        EXPECT_NEAR(length(eye.forward + s.toEye), 0, 1e-6);
        EXPECT_GT(dot(eye.right, s.screenRight), 0.9999);
        EXPECT_GT(dot(eye.up, s.screenUp), 0.9999);
        expectFramed(c, *figure, aspect);
      }
    }
  }
}

// f keeps the direction the camera looks from, from far away, from inside
// the figure or from behind its centre, and from a view of no height.
TEST(ViewFraming, FitKeepsTheDirection) {
  auto figure = buildHumanoid();
  for (float distance : {-90.0f, -2.0f, 0.0f, 20.0f}) {
    for (double aspect : {1.0, 0.0}) {
      SCOPED_TRACE(testing::Message() << distance << " " << aspect);
      OrbitCamera c;
      c.distance = distance == 0 ? -1.0f : distance;  // at its centre, where its angles point
      c.recompute();
      const Vec3 before = Eye(c).forward;
      c.distance = distance;
      fitFigure(c, *figure, aspect);
      EXPECT_NEAR(dot(before, Eye(c).forward), 1.0, 1e-6);
      expectFramed(c, *figure, aspect > 0 ? aspect : 1.0);
    }
  }
}

// From the top or the bottom a turn of a pixel, whichever way, turns the
// picture as little: the orbit's own up takes over from the view's.
TEST(ViewFraming, ATurnFromTheTopOrBottomTurnsThePictureALittle) {
  auto figure = buildHumanoid();
  for (const auto& [side, screenUp] : {std::pair{ViewSide::Top, figure->front * -1},
                                        std::pair{ViewSide::Bottom, figure->front}}) {
    for (const Pixel to : {Pixel{301, 300}, Pixel{300, 301}, Pixel{300, 299}}) {
      SCOPED_TRACE(testing::Message() << int(side) << " to " << to.x << "," << to.y);
      OrbitCamera c;
      lookFrom(c, side, *figure, 1.0);
      c.begin(Rotate, 300, 300);
      printedBy([&] { c.drag(to.x, to.y); });
      c.recompute();
      EXPECT_FALSE(c.viewUp.has_value());
      EXPECT_GT(dot(Eye(c).up, screenUp), 0.999);
    }
  }
}

