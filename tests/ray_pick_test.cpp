#include <gtest/gtest.h>

#include <cmath>

#include "figure/RaySphere.h"
#include "humanoid/Humanoid.h"
#include "ik_test_util.h"

namespace {

std::unique_ptr<Segment> ball(int index, const char* name, Vec3 end, float radius) {
  auto s = std::make_unique<Segment>(index, name, end, std::make_unique<IdentityTransform>());
  s->shape = scaleMatrix(2 * radius, 2 * radius, 2 * radius);
  s->hasShape = true;
  return s;
}

}  // namespace

TEST(RaySphere, HitsMissesAndInside) {
  Vec3 hit(9, 9, 9);
  double t = -1;
  // Touching the sphere is not hitting it, and writes nothing.
  EXPECT_FALSE(raySphere(Vec3(-1, 0.5f, 0), Vec3(1, 0.5f, 0), hit, t));
  EXPECT_EQ(hit.x, 9);
  EXPECT_EQ(t, -1);
  // Behind the start point.
  EXPECT_FALSE(raySphere(Vec3(2, 0, 0), Vec3(3, 0, 0), hit, t));
  // From outside: the near side.
  ASSERT_TRUE(raySphere(Vec3(-2, 0, 0), Vec3(2, 0, 0), hit, t));
  EXPECT_DOUBLE_EQ(t, 0.375);
  EXPECT_FLOAT_EQ(hit.x, -0.5f);
  // From inside: the far side.
  ASSERT_TRUE(raySphere(Vec3(0, 0, 0), Vec3(1, 0, 0), hit, t));
  EXPECT_DOUBLE_EQ(t, 0.5);
  EXPECT_FLOAT_EQ(hit.x, 0.5f);
  // No bound at t = 1: a sphere beyond the end point still counts.
  ASSERT_TRUE(raySphere(Vec3(-10, 0, 0), Vec3(-9, 0, 0), hit, t));
  EXPECT_NEAR(t, 9.5, 1e-9);
}

TEST(Pick, NearestOfTwoBodiesAlongTheRay) {
  auto f = buildHumanoid();
  // Through both thighs at mid-height, from the figure's left and from its right.
  const SurfaceHit fromLeft = f->pickRay(Vec3(0, 0.6f, 5), Vec3(0, 0.6f, -5));
  ASSERT_NE(fromLeft.segment, nullptr);
  EXPECT_STREQ(fromLeft.segment->name, "h_thigh_left");
  const SurfaceHit fromRight = f->pickRay(Vec3(0, 0.6f, -5), Vec3(0, 0.6f, 5));
  ASSERT_NE(fromRight.segment, nullptr);
  EXPECT_STREQ(fromRight.segment->name, "h_thigh_right");
  // Past the body: nothing.
  const SurfaceHit miss = f->pickRay(Vec3(0, 3, 5), Vec3(0, 3, -5));
  EXPECT_EQ(miss.segment, nullptr);
  EXPECT_EQ(miss.point.x, 0);
}

TEST(Pick, TiesGoToTheSegmentVisitedFirst) {
  auto root = ball(0, "first", Vec3(), 0.5f);
  root->addChild(ball(1, "second", Vec3(), 0.5f));
  root->addChild(ball(2, "third", Vec3(), 0.5f));
  Figure f(std::move(root));
  const SurfaceHit hit = f.pickRay(Vec3(-3, 0, 0), Vec3(3, 0, 0));
  ASSERT_NE(hit.segment, nullptr);
  EXPECT_STREQ(hit.segment->name, "first");
}

TEST(Pick, ShapelessSegmentsAreNeverHitButTheirChildrenAre) {
  auto root = std::make_unique<Segment>(0, "line", Vec3(0, 0, 0), std::make_unique<IdentityTransform>());
  root->addChild(ball(1, "behind", Vec3(), 0.1f))->endOffset = Vec3();
  Figure f(std::move(root));
  f.root->child(0)->joint = std::make_unique<Translation>(0, 0, -2);
  // The ray passes right through the shapeless root's origin.
  const SurfaceHit hit = f.pickRay(Vec3(0, 0, 5), Vec3(0, 0, -5));
  ASSERT_NE(hit.segment, nullptr);
  EXPECT_STREQ(hit.segment->name, "behind");
  EXPECT_NEAR(hit.point.z, 0.1f, 1e-5);
}

TEST(Pick, ASingularShapeFallsBackToTheUnitBallAtTheWorldOrigin) {
  auto root = ball(0, "flat", Vec3(), 0.5f);
  root->shape = scaleMatrix(1, 0, 1);  // no inverse
  root->joint = std::make_unique<Translation>(5, 0, 0);
  Figure f(std::move(root));
  EXPECT_EQ(f.pickRay(Vec3(5, 0, 3), Vec3(5, 0, -3)).segment, nullptr);
  EXPECT_NE(f.pickRay(Vec3(0, 0, 3), Vec3(0, 0, -3)).segment, nullptr);
}
