#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ik_test_util.h"
#include "view/OrbitCamera.h"

namespace {

float upAt(float pitch) {
  OrbitCamera c;
  c.pitch = pitch;
  c.recompute();
  return c.up.y;
}

std::string dragTrace(OrbitCamera& c, int x, int y) {
  return printedBy([&] { c.drag(x, y); });
}

}  // namespace

TEST(OrbitCamera, DefaultsLookAtTheOriginFromAboveAndBehind) {
  OrbitCamera c;
  EXPECT_EQ(c.pitch, 0.2f);
  EXPECT_EQ(c.yaw, 1.0f);
  EXPECT_EQ(c.distance, -20.0f);
  EXPECT_EQ(c.mode, Inactive);
  EXPECT_FALSE(c.dirty);
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

TEST(OrbitCamera, UpFlipsStrictlyBetweenHalfPiAndThreeHalvesPi) {
  const float halfPi = static_cast<float>(M_PI / 2);           // rounds above pi/2
  const float threeHalves = static_cast<float>(3 * M_PI / 2);  // rounds above 3pi/2
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(upAt(std::nextafter(halfPi, 0.0f)), 1.0f);
  EXPECT_EQ(upAt(halfPi), -1.0f);
  EXPECT_EQ(upAt(2.0f), -1.0f);
  EXPECT_EQ(upAt(std::nextafter(threeHalves, 0.0f)), -1.0f);
  EXPECT_EQ(upAt(threeHalves), 1.0f);
  EXPECT_EQ(upAt(5.0f), 1.0f);
  // The remainder keeps the sign of the pitch: a negative pitch never flips.
  EXPECT_EQ(upAt(-2.0f), 1.0f);
  EXPECT_EQ(upAt(-4.0f), 1.0f);
  // After a full turn the picture flips again.
  EXPECT_EQ(upAt(2.0f + static_cast<float>(2 * M_PI)), -1.0f);
  EXPECT_EQ(upAt(-inf), 1.0f);
}

TEST(OrbitCamera, RotateZoomAndTheirTraces) {
  OrbitCamera c;
  c.begin(Rotate, 100, 100);
  EXPECT_EQ(dragTrace(c, 280, 100), "[180 0 -0]\n");
  EXPECT_NEAR(c.yaw, 0.0f, 1e-6);
  EXPECT_TRUE(c.dirty);
  dragTrace(c, 280, 280);
  EXPECT_NEAR(c.pitch, 1.2f, 1e-6);
  c.end(0, 0);
  EXPECT_EQ(c.mode, Inactive);
  EXPECT_NEAR(c.pitch, 1.2f, 1e-6);

  OrbitCamera z;
  z.begin(Zoom, 5, 5);
  EXPECT_EQ(dragTrace(z, 5, 15), "[0 10 -0]\n");
  EXPECT_NEAR(z.distance, -21.0f, 1e-5);
  // Distance has no bound and can pass through zero.
  dragTrace(z, 5, -205);
  EXPECT_NEAR(z.distance, 1.0f, 1e-4);
}

TEST(OrbitCamera, EveryDragStepTracesEvenWhenInactive) {
  OrbitCamera c;
  c.begin(Inactive, 10, 10);
  EXPECT_EQ(dragTrace(c, 13, 8), "[3 -2 -0]\n");
  EXPECT_EQ(c.yaw, 1.0f);
  EXPECT_EQ(dragTrace(c, 13, 8), "[0 0 -0]\n");
  EXPECT_FALSE(c.dirty);
}

TEST(OrbitCamera, PanMovesTheCentreAcrossTheScreen) {
  OrbitCamera c;
  c.yaw = 0.0f;
  c.pitch = 0.0f;
  c.recompute();  // eye on -z, looking along +z; screen right is -x
  c.begin(Pan, 0, 0);
  dragTrace(c, 10, 0);
  // The pointer moves right: the centre moves left, 0.02 per pixel.
  EXPECT_NEAR(c.center.x, 0.2f, 1e-6);
  EXPECT_NEAR(c.center.y, 0.0f, 1e-6);
  dragTrace(c, 10, 10);
  // The pointer moves down: the centre moves up.
  EXPECT_NEAR(c.center.y, 0.2f, 1e-6);
  EXPECT_TRUE(c.dirty);
  c.recompute();
  EXPECT_NEAR(c.eye.x, 0.2f, 1e-6);
}

TEST(OrbitCamera, PanWithoutAScreenPlaneLeavesTheCentreAlone) {
  OrbitCamera c;
  c.distance = 0.0f;  // the eye sits on the centre: no view direction at all
  c.recompute();
  c.begin(Pan, 0, 0);
  dragTrace(c, 7, 9);
  EXPECT_EQ(c.center.x, 0.0f);
  EXPECT_EQ(c.center.y, 0.0f);
  EXPECT_EQ(c.center.z, 0.0f);
  // And the camera still works afterwards.
  c.distance = -20.0f;
  c.recompute();
  dragTrace(c, 17, 9);
  EXPECT_TRUE(std::isfinite(c.center.x) && std::isfinite(c.center.y) && std::isfinite(c.center.z));
  EXPECT_NE(c.center.x, 0.0f);
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
