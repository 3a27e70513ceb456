#include <gtest/gtest.h>

#include <cmath>

#include "ik/FirmPins.h"
#include "ik/HandleJacobian.h"
#include "ik_test_util.h"
#include "random_figure.h"

namespace {

constexpr double kMillimetre = 0.001;

double farthestPin(Figure& f, const Handle* dragged) {
  f.updateHandlePositions();
  double worst = 0.0;
  for (const HandleEntry& e : f.handles) {
    if (e.handle != dragged)
      worst = std::max(worst, double(distance(e.handle->worldPos, e.handle->targetPos)));
  }
  return worst;
}

// The humanoid with both feet pinned at their ends (and at their heels when
// asked), its left hand dragged in `events` steps along a line to `goal`.
struct FeetPinned {
  FeetPinned(bool firm, bool heels, bool limits) : f(buildHumanoid()), pins(*f), firm(firm) {
    f->limitsEnabled = limits;
    hand = pins.atEnd("h_hand_left");
    pins.atEnd("h_foot_left");
    pins.atEnd("h_foot_right");
    if (heels) pins.add("h_foot_left", Vec3()), pins.add("h_foot_right", Vec3());
    for (auto& h : pins.list) h->targetPos = h->worldPos;
  }

  // The largest distance of a pin from its target after any event.
  double drag(const Vec3& goal, int events) {
    const Vec3 start = hand->worldPos;
    double worst = 0.0;
    for (int e = 1; e <= events; ++e) {
      hand->targetPos = start + (goal - start) * (double(e) / events);
      printedBy([&] { firm ? (void)FirmPins::solve(*f, hand) : (void)f->solve(hand); });
      worst = std::max(worst, farthestPin(*f, hand));
      if (f->limitsEnabled) expectWithinLimits(*f);
    }
    return worst;
  }

  std::unique_ptr<Figure> f;
  Pins pins;
  bool firm;
  Handle* hand;
};

const Vec3 kOutOfReach(-2.0f, 2.5f, 1.0f);

}  // namespace

// Out of reach the hand goes towards the pointer as far as the feet let it;
// within reach it gets there, even in one jump of the pointer. Without firm
// pins the feet give way.
TEST(FirmPins, FeetHoldWhileAHandIsDraggedAndGiveWayWithoutThem) {
  for (bool limits : {false, true}) {
    for (bool far : {false, true}) {
      FeetPinned off(false, false, limits), on(true, false, limits);
      const Vec3 goal = far ? kOutOfReach : on.hand->worldPos + Vec3(-0.3f, 0.25f, 0.1f);
      const double startGap = distance(on.hand->worldPos, goal);
      EXPECT_GT(off.drag(goal, 40), far ? 0.5 : 0.01) << limits << far;
      EXPECT_LT(on.drag(goal, far ? 40 : 1), kMillimetre) << limits << far;
      EXPECT_LT(distance(on.hand->worldPos, goal), far ? startGap - 0.5 : kMillimetre) << limits << far;
    }
  }
}

TEST(FirmPins, HeelAndToeHoldTheFootsDirection) {
  FeetPinned on(true, true, true);
  Segment* foot = on.f->findSegment("h_foot_left");
  const Vec3 along = worldPoint(*on.f, foot, foot->endOffset) - worldPoint(*on.f, foot, Vec3());
  EXPECT_LT(on.drag(Vec3(-0.3f, 0.1f, 0.4f), 30), kMillimetre);  // down to the floor, limits on
  const Vec3 now = worldPoint(*on.f, foot, foot->endOffset) - worldPoint(*on.f, foot, Vec3());
  // Both ends within 1 mm on a foot 0.18 long: the direction within 2 mm / 0.18.
  EXPECT_LT(length(cross(along, now)) / (length(along) * length(now)), 0.002 / 0.18);
}

TEST(FirmPins, HoldOnAnyFigure) {
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    RandomFigure r(seed);
    Figure& f = r.figure();
    f.setDofs(f.dofs());  // a start within the limits, as after any solve
    const std::vector<double> rest = f.dofs();
    EXPECT_EQ(printedBy([&] { FirmPins::hold(f, nullptr); }), "");
    ASSERT_TRUE(sameVectors(f.dofs(), rest)) << "nothing pinned: nothing to hold";
    for (int i = 1 + static_cast<int>(r.random()() % 4); i > 0; --i) r.addHandle();
    Handle* dragged = r.addHandle();
    f.updateHandlePositions();
    for (const HandleEntry& e : f.handles) e.handle->targetPos = e.handle->worldPos;
    const Vec3 start = dragged->worldPos;
    const Vec3 goal = start + Vec3(r.uniform(-2, 2), r.uniform(-2, 2), r.uniform(-2, 2));
    for (int e = 1; e <= 8; ++e) {
      dragged->targetPos = start + (goal - start) * (e / 8.0);
      printedBy([&] { FirmPins::solve(f, dragged); });
      ASSERT_LT(farthestPin(f, dragged), kMillimetre) << "seed " << seed << ", event " << e;
      expectWithinLimits(f);
    }
  }
}

// The rows agree with central differences of the figure's own forward pass.
TEST(HandleJacobian, RowsAreTheDerivativesOfWorldPositions) {
  for (std::uint32_t seed = 1; seed <= 20; ++seed) {
    RandomFigure r(seed);
    Figure& f = r.figure();
    f.setDofs(f.dofs());
    Handle* h = r.addHandle();
    Segment* s = f.segmentOf(h);
    HandleJacobian jacobian(f);
    jacobian.update();
    std::vector<double> rows(3 * f.dofCount);
    jacobian.rows(s, h->localPos, rows.data());
    const std::vector<double> x = f.dofs();
    const std::vector<int> hinges = hingeDofs(f);
    // A hinge's step that its limit cuts is no derivative.
    auto clamped = [&](int k, const std::vector<double>& wanted) {
      return std::count(hinges.begin(), hinges.end(), k) && f.dofs()[k] != wanted[k];
    };
    for (int k = 0; k < f.dofCount; ++k) {
      const double step = 1e-3;
      std::vector<double> up = x, down = x;
      up[k] += step, down[k] -= step;
      f.setDofs(up);
      if (clamped(k, up)) continue;
      const Vec3 a = worldPoint(f, s, h->localPos);
      f.setDofs(down);
      if (clamped(k, down)) continue;
      const Vec3 b = worldPoint(f, s, h->localPos);
      f.setHeldDofs(x);
      const float difference[3] = {a.x - b.x, a.y - b.y, a.z - b.z};
      for (int c = 0; c < 3; ++c) {
        const double expected = difference[c] / (2 * step);
        EXPECT_NEAR(rows[c * f.dofCount + k], expected, 2e-3 * (1 + std::fabs(expected)))
            << seed << ", " << k;
      }
    }
  }
}

// The numbers of scripted firm drags, as a digest that scripts/compare-digests.sh
// compares between this machine's build and the sanitizer and arm64 builds:
// a fixed budget of iterations gives the same numbers everywhere.
TEST(DifferentialFirmPins, DigestOfScriptedDrags) {
  Digest digest;  // of the DOFs, which decide everything else
  for (bool limits : {false, true}) {
    FeetPinned on(true, limits, limits);
    on.drag(kOutOfReach, 10);
    digest.add(on.f->dofs());
  }
  for (std::uint32_t seed = 1; seed <= 10; ++seed) {
    RandomFigure r(seed);
    for (int i = 0; i < 3; ++i) r.addHandle();
    r.aimEveryHandle();
    printedBy([&] { FirmPins::solve(r.figure(), r.anyHandle()); });
    digest.add(r.figure().dofs());
  }
  digest.print("firm pins");
}
