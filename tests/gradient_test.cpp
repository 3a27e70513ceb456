#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "ReferenceSolver.h"
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

const HandleJacobian& recordOf(const std::list<HandleJacobian>& records, const Handle* h) {
  for (const HandleJacobian& r : records) {
    if (r.handle == h) return r;
  }
  throw std::runtime_error("no record");
}

}  // namespace

TEST(Gradient, MatchesAFiniteDifferenceOfTheWeightedSquaredError) {
  auto f = buildHumanoid();
  Pins pins(*f);
  Handle* hand = pins.atEnd("h_hand_left");
  Handle* foot = pins.atEnd("h_foot_right");
  Handle* head = pins.add("h_head", Vec3(0.05f, 0.1f, 0.02f));
  Handle* shin = pins.add("h_shin_left", Vec3(0.03f, -0.2f, 0));
  hand->targetPos = Vec3(-0.2f, 1.3f, 0.9f);
  foot->targetPos = Vec3(0.1f, 0.05f, -0.3f);
  head->targetPos = Vec3(0.3f, 1.5f, 0.1f);
  // shin keeps the origin as its target, as a handle never dragged does.

  const std::vector<double> v0 = f->dofs();
  f->setDofs(f->root.get(), v0.data(), false);
  const std::vector<float> g = evaluateGradient(*f, hand);

  const double h = 1e-4;
  for (int i = 0; i < f->dofCount; ++i) {
    std::vector<double> plus = v0, minus = v0;
    plus[i] += h;
    minus[i] -= h;
    const double fd = (energy(*f, plus, hand) - energy(*f, minus, hand)) / (2 * h);
    EXPECT_NEAR(g[i], fd, 2e-3 + 2e-3 * std::fabs(fd)) << "DOF " << i;
  }
  f->setDofs(f->root.get(), v0.data(), false);
  (void)shin;
}

TEST(Gradient, WithoutHandlesThereAreNoRecordsAndNoGradient) {
  auto f = buildHumanoid();
  EXPECT_TRUE(reference::records(*f).empty());
  for (float x : evaluateGradient(*f, nullptr)) EXPECT_EQ(x, 0.0f);
}

TEST(Gradient, RecordsAreNewestFirstAndCarryTheSegmentsRow) {
  auto f = buildHumanoid();
  Pins pins(*f);
  Handle* rootHandle = pins.add("root", Vec3());
  Handle* hand = pins.atEnd("h_hand_left");
  Handle* thigh = pins.atEnd("h_thigh_right");
  const std::list<HandleJacobian> records = reference::records(*f);
  ASSERT_EQ(records.size(), 3u);
  // Made in pre-order (root, right leg, left arm) and inserted at the head.
  auto it = records.begin();
  EXPECT_EQ(it->handle, hand);
  EXPECT_EQ(it->weightRow, 16);
  EXPECT_EQ((++it)->handle, thigh);
  EXPECT_EQ(it->weightRow, 7);
  EXPECT_EQ((++it)->handle, rootHandle);
  EXPECT_EQ(it->weightRow, 0);
  // The record's world matrix puts the handle where the forward pass did.
  for (const HandleJacobian& r : records) {
    const Vec3 x = transformPoint(r.world, r.localPos);
    EXPECT_EQ(x.x, r.handle->worldPos.x);
    EXPECT_EQ(x.y, r.handle->worldPos.y);
    EXPECT_EQ(x.z, r.handle->worldPos.z);
  }
}

TEST(Gradient, DerivativesAreZeroForDofsThatDoNotMoveTheSegment) {
  auto f = buildHumanoid();
  Pins pins(*f);
  Handle* hand = pins.atEnd("h_hand_left");
  Handle* rootHandle = pins.add("root", Vec3(0.05f, 0, 0.1f));
  const std::list<HandleJacobian> records = reference::records(*f);

  std::set<int> handDofs;
  for (int i = 0; i <= 6; ++i) handDofs.insert(i);
  for (int i = 21; i <= 24; ++i) handDofs.insert(i);
  for (int i = 33; i <= 41; ++i) handDofs.insert(i);
  const HandleJacobian& hr = recordOf(records, hand);
  for (int k = 0; k < 51; ++k) {
    if (!handDofs.count(k)) {
      EXPECT_TRUE(hr.dofDerivatives[k].isZero()) << "DOF " << k;
    } else if (k != 6 && k != 24) {  // w of an identity quaternion moves nothing
      EXPECT_FALSE(hr.dofDerivatives[k].isZero()) << "DOF " << k;
    }
  }

  const HandleJacobian& rr = recordOf(records, rootHandle);
  for (int k = 7; k < 51; ++k) EXPECT_TRUE(rr.dofDerivatives[k].isZero()) << "DOF " << k;
  for (int k = 0; k <= 5; ++k) EXPECT_FALSE(rr.dofDerivatives[k].isZero()) << "DOF " << k;
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
  for (double w : f->dofWeights[0]) EXPECT_EQ(w, 1.0);
  const std::vector<double>& shin = f->dofWeights[5];
  for (int i = 0; i < 51; ++i) {
    const double expected = i <= 3 ? 0.0 : i <= 6 ? 0.05 : i <= 13 ? 1.0 : 0.0;
    EXPECT_EQ(shin[i], expected) << i;
  }
  struct Row {
    int row, from, to;
  };
  for (Row r : {Row{1, 21, 50}, Row{10, 21, 50}, Row{3, 14, 20}, Row{9, 14, 20}, Row{11, 25, 32},
                Row{12, 25, 32}, Row{13, 33, 41}, Row{16, 33, 41}, Row{17, 42, 50}, Row{20, 42, 50}}) {
    for (int i = 0; i < 51; ++i) {
      const double expected = (i >= r.from && i <= r.to) ? 1.0 : (i >= 4 && i <= 6) ? 0.05 : 0.0;
      EXPECT_EQ(f->dofWeights[r.row][i], expected) << "row " << r.row << " DOF " << i;
    }
  }
  f->setUniformWeights();
  for (const auto& row : f->dofWeights) {
    for (double w : row) EXPECT_EQ(w, 1.0);
  }
}

TEST(Weights, AZeroWeightRemovesTheDofFromTheHandle) {
  auto f = buildHumanoid();
  f->setLimbWeights();
  Pins pins(*f);
  Handle* foot = pins.atEnd("h_foot_left");
  foot->targetPos = Vec3(-0.3f, 0.3f, 0.4f);
  const std::vector<float> g = evaluateGradient(*f, foot);
  for (int i = 0; i < 51; ++i) {
    const bool allowed = (i >= 4 && i <= 6) || (i >= 7 && i <= 13);
    if (!allowed) {
      EXPECT_EQ(g[i], 0.0f) << i;
    }
  }
  EXPECT_NE(g[11], 0.0f);
}
