#include <gtest/gtest.h>

#include <cmath>

#include "ik_test_util.h"

namespace {

// 1/2 sum f |x - target|^2 at the DOF vector v, from the figure's own positions.
double energy(Figure& f, const std::vector<double>& v, const Handle* dragged) {
  f.setDofs(f.root.get(), v.data(), false);
  f.updateHandlePositions();
  double sum = 0;
  for (const HandleEntry& e : f.handles) {
    const Handle& h = *e.handle;
    const double dx = double(h.worldPos.x) - h.targetPos.x, dy = double(h.worldPos.y) - h.targetPos.y,
                 dz = double(h.worldPos.z) - h.targetPos.z;
    sum += 0.5 * (e.handle == dragged ? 3.0 : 1.0) * (dx * dx + dy * dy + dz * dz);
  }
  return sum;
}

}  // namespace

TEST(Gradient, MatchesAFiniteDifferenceOfTheWeightedSquaredError) {
  auto f = buildHumanoid();
  Pins pins(*f);
  Handle* hand = pins.atEnd("h_hand_left");
  Handle* foot = pins.atEnd("h_foot_right");
  Handle* head = pins.add("h_head", Vec3(0.05f, 0.1f, 0.02f));
  // The shin's handle keeps the origin as its target, as one never dragged does.
  pins.add("h_shin_left", Vec3(0.03f, -0.2f, 0));
  hand->targetPos = Vec3(-0.2f, 1.3f, 0.9f);
  foot->targetPos = Vec3(0.1f, 0.05f, -0.3f);
  head->targetPos = Vec3(0.3f, 1.5f, 0.1f);

  const std::vector<double> v0 = f->dofs();
  f->setDofs(f->root.get(), v0.data(), false);
  const std::vector<float> g = evaluateGradient(*f, hand);

  const auto weightedError = [&](const std::vector<double>& v) { return energy(*f, v, hand); };
  for (int i = 0; i < f->dofCount; ++i) {
    const double fd = centralDifference(weightedError, v0, i, 1e-4);
    EXPECT_NEAR(g[i], fd, 2e-3 + 2e-3 * std::fabs(fd)) << "DOF " << i;
  }
  f->setDofs(f->root.get(), v0.data(), false);
}

TEST(Gradient, TheDraggedHandleCountsThreeTimes) {
  auto f = buildHumanoid();
  Pins pins(*f);
  Handle* hand = pins.atEnd("h_hand_right");
  hand->targetPos = Vec3(-0.5f, 1.4f, -0.2f);
  const std::vector<float> pinned = evaluateGradient(*f, nullptr);
  const std::vector<float> dragged = evaluateGradient(*f, hand);
  Handle stranger;
  const std::vector<float> other = evaluateGradient(*f, &stranger);
  for (int i = 0; i < 51; ++i) {
    EXPECT_NEAR(dragged[i], 3 * pinned[i], 1e-5 * (1 + std::fabs(pinned[i]))) << i;
    EXPECT_EQ(other[i], pinned[i]);
  }
}

TEST(Gradient, AHandleOnItsTargetContributesNothing) {
  auto f = buildHumanoid();
  Pins pins(*f);
  Handle* hand = pins.atEnd("h_hand_right");
  hand->targetPos = hand->worldPos;
  for (float x : evaluateGradient(*f, hand)) EXPECT_EQ(x, 0.0f);
}

TEST(Weights, Presets) {
  auto f = buildHumanoid();
  f->setLimbWeights();
  expectLimbWeights(*f);
  f->setUniformWeights();
  expectUniformWeights(*f);
}
