#include "ik/Solver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include "ReferenceSolver.h"
#include "ik_test_util.h"
#include "pose/PoseText.h"

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

// Dragged three times as hard as the others, or by a handle the figure does
// not hold, so that all pull alike.
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
  Handle stranger;
  for (const Handle* dragged : {static_cast<const Handle*>(hand), static_cast<const Handle*>(&stranger)}) {
    const std::vector<float> g = evaluateGradient(*f, dragged);
    const auto weightedError = [&](const std::vector<double>& v) { return energy(*f, v, dragged); };
    for (int i = 0; i < f->dofCount; ++i) {
      const double fd = centralDifference(weightedError, v0, i, 1e-4);
      EXPECT_NEAR(g[i], fd, 2e-3 + 2e-3 * std::fabs(fd)) << "DOF " << i;
    }
    f->setDofs(f->root.get(), v0.data(), false);
  }
}

// Angular DOFs: whole turns folded, then scaled by pi/2. The stop rule: the
// next step, 0.032 * norm, no longer than the tolerance.
TEST(SolverSteps, AngularScalingAndTheStopRule) {
  EXPECT_FLOAT_EQ(solver::scaleAngular(1.0f), 1.57f);
  EXPECT_FLOAT_EQ(solver::scaleAngular(7.0f), 9.42f);
  EXPECT_FLOAT_EQ(solver::scaleAngular(-7.0f), -9.42f);
  EXPECT_EQ(solver::scaleAngular(0.0f), 0.0f);
  // Defined for values no integer holds: the whole turns of an infinite
  // value are infinite too, and what is left of it is no number.
  EXPECT_TRUE(std::isnan(solver::scaleAngular(INFINITY)));
  EXPECT_FALSE(std::isnan(solver::scaleAngular(3e38f)));
  for (double tol : {0.01, 0.001, 0.0001}) {
    const float edge = static_cast<float>(tol / 0.032);  // 0.3125, 0.03125, 0.003125
    EXPECT_FALSE(solver::keepGoing(edge * 0.999f, tol)) << tol;
    EXPECT_TRUE(solver::keepGoing(edge * 1.001f, tol)) << tol;
  }
  EXPECT_FALSE(solver::keepGoing(NAN, 0.01));
}

// Without handles one quiet pass writes the pose back: limits enforced,
// quaternions normalised, everything else as it was.
TEST(Solve, WithoutHandlesRunsOnceQuietlyClampingAndNormalising) {
  auto f = buildHumanoid();
  std::vector<double> v = f->dofs();
  const std::vector<double> before = v;
  v[11] = 3.0;                                     // knee beyond its limit
  v[3] = 0.0, v[4] = 0.0, v[5] = 0.0, v[6] = 2.0;  // root quaternion of length 2
  f->setDofs(f->root.get(), v.data(), false);
  f->limitsEnabled = true;
  SolveResult r;
  EXPECT_EQ(printedBy([&] { r = f->solve(nullptr); }), "");
  EXPECT_EQ(std::make_pair(r.iterations, r.norm), std::make_pair(1, 0.0f));
  const std::vector<double> after = f->dofs();
  EXPECT_EQ(after[11], 1.57);
  EXPECT_EQ(after[6], 1.0);
  for (int i = 0; i < 51; ++i) {
    if (i != 11) {
      EXPECT_NEAR(after[i], before[i], 1e-15) << i;
    }
  }
}

// A near target stops by the tolerance, a far one at the cap of 100; each
// iteration past the 90th prints "brem", and nothing else is printed.
TEST(Solve, StopsByTheToleranceOrAtTheCapWithABremLinePastTheNinetieth) {
  int early = 0;
  for (double tol : {0.01, 0.001, 0.0001}) {
    for (bool far : {false, true}) {
      auto f = buildHumanoid();
      f->tolerance = tol;
      Pins pins(*f);
      Handle* hand = pins.atEnd("h_hand_left");
      Handle* foot = pins.atEnd("h_foot_right");
      foot->targetPos = foot->worldPos;
      hand->targetPos = far ? Vec3(3, 3, 3) : hand->worldPos + Vec3(0.05f, 0.05f, 0.0f);
      SolveResult r;
      const std::string out = printedBy([&] { r = f->solve(hand); });
      EXPECT_TRUE(far ? r.iterations == 100 : r.iterations == 100 || 0.032 * r.norm <= tol) << tol;
      early += r.iterations < 100;
      EXPECT_EQ(countLines(out, "brem"), std::max(0, r.iterations - 90)) << tol;
      EXPECT_EQ(out.size(), 5u * std::max(0, r.iterations - 90)) << tol;
    }
  }
  EXPECT_GT(early, 0);
}

TEST(Solve, ADraggedHandReachesItsTargetWhilePinnedFeetStay) {
  auto f = buildHumanoid();
  f->tolerance = 0.0001;
  Pins pins(*f);
  for (const char* name : {"h_foot_left", "h_foot_right"}) {
    Handle* foot = pins.atEnd(name);
    foot->targetPos = foot->worldPos;
  }
  Handle* hand = pins.atEnd("h_hand_left");
  const Vec3 start = hand->worldPos;
  // A drag is a run of calls, one per mouse event.
  printedBy([&] {
    for (int event = 1; event <= 20; ++event) {
      hand->targetPos = start + Vec3(0.005f * event, 0.01f * event, 0.0f);
      f->solve(hand);
    }
  });
  for (auto& h : pins.list) EXPECT_LT(distance(h->worldPos, h->targetPos), 0.02f);
  EXPECT_GT(distance(hand->worldPos, start), 0.15f);
}

TEST(Solve, LimbWeightsKeepALegHandleFromMovingTheOtherLimbs) {
  auto f = buildHumanoid();
  f->setUniformWeights();
  expectUniformWeights(*f);
  f->setLimbWeights();
  expectLimbWeights(*f);
  Pins pins(*f);
  Handle* foot = pins.atEnd("h_foot_left");
  foot->targetPos = foot->worldPos + Vec3(-0.2f, 0.2f, 0.1f);
  const std::vector<float> g = evaluateGradient(*f, foot);
  const std::vector<double> before = f->dofs();
  printedBy([&] { f->solve(foot); });
  const std::vector<double> after = f->dofs();
  for (int i = 0; i < 51; ++i) {
    if (limbWeight("h_foot_left", i) == 0.0) {
      EXPECT_EQ(g[i], 0.0f) << "DOF " << i;
      EXPECT_NEAR(after[i], before[i], 1e-12) << "DOF " << i;
    }
  }
  double moved = 0;
  for (int i = 7; i <= 13; ++i) moved += std::fabs(after[i] - before[i]);
  EXPECT_GT(moved, 0.01);
}

TEST(SolveStress, AbsurdTargetsKeepThePoseWithinWhatAPoseHolds) {
  for (float far : {1e4f, 1e12f, 1e30f, 3e38f}) {
    for (bool limits : {false, true}) {
      auto f = buildHumanoid();
      f->limitsEnabled = limits;
      Pins pins(*f);
      Handle* hand = pins.atEnd("h_hand_left");
      Handle* foot = pins.atEnd("h_foot_right");
      Handle* pelvis = pins.add("root", Vec3(0, 0, 0.1f));  // moves no hinge
      foot->targetPos = foot->worldPos;
      hand->targetPos = Vec3(far, -far, far);
      pelvis->targetPos = Vec3(-far, far, far);
      printedBy([&] {
        for (int event = 0; event < 3; ++event) {
          f->solve(hand);
          f->solve(pelvis);
        }
      });
      // Finite, no larger than a pose file holds and within the limits when
      // they are on, however far the targets.
      for (double v : f->dofs()) ASSERT_LE(std::fabs(v), pose_text::kValueLimit) << "target " << far;
      for (auto& h : pins.list) EXPECT_TRUE(h->worldPos.isFinite()) << far;
      if (limits) expectWithinLimits(*f);
    }
  }
}

// The humanoid with `count` seeded handles pinned where they are, over the body
// or stacked on one point, and its left hand dragged about `far` in ten events.
static std::vector<double> dragAmongHandles(int count, bool stacked, float far, unsigned seed,
                                            bool plain = false) {
  auto f = buildHumanoid();
  Pins pins(*f);
  std::mt19937 rng(seed);
  auto unit = [&] { return std::uniform_real_distribution<float>(-1.0f, 1.0f)(rng); };
  for (int i = 0; i < count; ++i) {
    if (stacked) rng.seed(seed);  // the same draws, so the same point
    const Segment* s = f->segments()[rng() % 21];
    const float along = 0.5f * (unit() + 1.0f), x = unit(), y = unit(), z = unit();
    Handle* h = pins.add(s->name, s->endOffset * along + Vec3(x, y, z) * 0.05f);
    h->targetPos = h->worldPos;
  }
  Handle* hand = pins.atEnd("h_hand_left");
  const Vec3 from = hand->worldPos;
  for (int event = 1; event <= 10; ++event) {
    hand->targetPos = from + Vec3(0.6f, 0.3f, -0.74f) * (far * event / 10);
    printedBy([&] { plain ? reference::solve(*f, hand) : f->solve(hand); });
  }
  return f->dofs();
}

TEST(ManyHandles, FortySpreadOverTheBodySolveAsThePlainSolver) {
  for (unsigned seed : {1u, 2u, 3u})
    for (float far : {0.2f, 2.0f})
      EXPECT_TRUE(
          sameVectors(dragAmongHandles(40, false, far, seed), dragAmongHandles(40, false, far, seed, true)));
}

// The pins hold the root (it stands 0.91 m high), where the solver's step alone
// would fling it some 1e36 m: nearer than the hand travels on a 0.2 m drag,
// within half a body on a 2 m one.
TEST(ManyHandles, EightyToAThousandHoldTheFigureWithinWhatAPoseHolds) {
  for (int count : {80, 400, 1000})
    for (bool stacked : {false, true})
      for (float far : {0.2f, 2.0f}) {
        const std::vector<double> v = dragAmongHandles(count, stacked, far, 7u + count);
        for (double x : v) ASSERT_LE(std::fabs(x), pose_text::kValueLimit) << count << stacked << far;
        EXPECT_LT(length(Vec3(v[0], v[1] - 0.91, v[2])), far < 1 ? 0.2 : 0.9) << count << stacked << far;
      }
}
