#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ik_test_util.h"
#include "view/OrbitCamera.h"

TEST(OrbitCamera, DefaultsLookAtTheOriginFromAboveAndBehind) {
  OrbitCamera c;
  EXPECT_EQ(std::make_tuple(c.pitch, c.yaw, c.distance, c.mode, c.dirty), std::make_tuple(0.2f, 1.0f, -20.0f, 0, false));
  EXPECT_NEAR(c.eye.x, -16.49, 0.005);
  EXPECT_NEAR(c.eye.y, 3.97, 0.005);
  EXPECT_NEAR(c.eye.z, -10.59, 0.005);
  EXPECT_EQ(c.up.x, 0);
  EXPECT_EQ(c.up.y, 1);
  // The eye follows the centre.
  c.center = Vec3(1, 2, 3);
  c.recompute();
  EXPECT_NEAR(c.eye.x, -15.49, 0.005);
  EXPECT_NEAR(c.eye.z, -7.59, 0.005);
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
// up. With the eye on the centre there is no screen plane: nothing moves.
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
