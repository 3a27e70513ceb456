#include "ik/Solver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "ReferenceSolver.h"
#include "ik_test_util.h"
#include "pose/PoseText.h"

TEST(AngularScaling, FoldsWholeTurnsAndScales) {
  EXPECT_FLOAT_EQ(solver::scaleAngular(1.0f), 1.57f);
  EXPECT_FLOAT_EQ(solver::scaleAngular(7.0f), 9.42f);
  EXPECT_FLOAT_EQ(solver::scaleAngular(-7.0f), -9.42f);
  EXPECT_EQ(solver::scaleAngular(0.0f), 0.0f);
  // Defined for values no integer holds: the whole turns of an infinite
  // value are infinite too, and what is left of it is no number.
  EXPECT_TRUE(std::isnan(solver::scaleAngular(INFINITY)));
  EXPECT_FALSE(std::isnan(solver::scaleAngular(3e38f)));
}

TEST(StopRule, NextStepNoLongerThanTheTolerance) {
  // 0.032 * norm against the tolerance: 0.3125, 0.03125, 0.003125.
  for (double tol : {0.01, 0.001, 0.0001}) {
    const float edge = static_cast<float>(tol / 0.032);
    EXPECT_FALSE(solver::keepGoing(edge * 0.999f, tol)) << tol;
    EXPECT_TRUE(solver::keepGoing(edge * 1.001f, tol)) << tol;
  }
  EXPECT_FALSE(solver::keepGoing(NAN, 0.01));
}

TEST(Solve, WithoutHandlesRunsOnceAndPrintsNothing) {
  auto f = buildHumanoid();
  const std::vector<double> before = f->dofs();
  SolveResult r;
  EXPECT_EQ(printedBy([&] { r = f->solve(nullptr); }), "");
  EXPECT_EQ(r.iterations, 1);
  EXPECT_EQ(r.norm, 0.0f);
  const std::vector<double> after = f->dofs();
  for (int i = 0; i < 51; ++i) EXPECT_NEAR(after[i], before[i], 1e-15) << i;
}

TEST(Solve, TheWritePassEnforcesLimitsAndNormalisesEvenWithoutHandles) {
  auto f = buildHumanoid();
  std::vector<double> v = f->dofs();
  v[11] = 3.0;                                     // knee beyond its limit
  v[3] = 0.0, v[4] = 0.0, v[5] = 0.0, v[6] = 2.0;  // root quaternion of length 2
  f->setDofs(f->root.get(), v.data(), false);
  f->limitsEnabled = true;
  f->solve(nullptr);
  const std::vector<double> after = f->dofs();
  EXPECT_EQ(after[11], 1.57);
  EXPECT_EQ(after[6], 1.0);
}

TEST(Solve, StopsByTheToleranceOrAtTheCapWithTenBremLines) {
  for (double tol : {0.01, 0.001, 0.0001}) {
    auto f = buildHumanoid();
    f->tolerance = tol;
    Pins pins(*f);
    Handle* hand = pins.atEnd("h_hand_left");
    hand->targetPos = hand->worldPos + Vec3(0.05f, 0.05f, 0.0f);
    SolveResult r;
    const std::string out = printedBy([&] { r = f->solve(hand); });
    if (r.iterations < 100) {
      EXPECT_LE(0.032 * r.norm, tol);
    }
    EXPECT_EQ(countLines(out, "brem"), std::max(0, r.iterations - 90)) << "tolerance " << tol;
    if (r.iterations <= 90) {
      EXPECT_EQ(out, "");
    }
  }
}

TEST(Solve, AFarTargetHitsTheCap) {
  auto f = buildHumanoid();
  f->tolerance = 0.0001;
  Pins pins(*f);
  Handle* hand = pins.atEnd("h_hand_left");
  Handle* foot = pins.atEnd("h_foot_right");
  foot->targetPos = foot->worldPos;
  hand->targetPos = Vec3(3, 3, 3);
  SolveResult r;
  const std::string out = printedBy([&] { r = f->solve(hand); });
  EXPECT_EQ(r.iterations, 100);
  EXPECT_EQ(countLines(out, "brem"), 10);
  EXPECT_EQ(out.size(), 10u * 5u);  // nothing but those lines
}

TEST(Solve, ALoneDraggedHandleReachesAReachableTarget) {
  auto f = buildHumanoid();
  f->tolerance = 0.0001;
  Pins pins(*f);
  Handle* hand = pins.atEnd("h_hand_right");
  const Vec3 target = hand->worldPos + Vec3(0.1f, -0.1f, 0.05f);
  hand->targetPos = target;
  // A drag is a run of calls, one per mouse event.
  printedBy([&] {
    for (int event = 0; event < 20; ++event) f->solve(hand);
  });
  EXPECT_LT(distance(hand->worldPos, target), 0.005f);
}

TEST(Solve, PinnedHandlesStayNearTheirTargetsWhileAnotherIsDragged) {
  auto f = buildHumanoid();
  f->tolerance = 0.0001;
  Pins pins(*f);
  Handle* foot = pins.atEnd("h_foot_left");
  Handle* otherFoot = pins.atEnd("h_foot_right");
  Handle* hand = pins.atEnd("h_hand_left");
  foot->targetPos = foot->worldPos;
  otherFoot->targetPos = otherFoot->worldPos;
  const Vec3 start = hand->worldPos;
  printedBy([&] {
    for (int event = 1; event <= 20; ++event) {
      hand->targetPos = start + Vec3(0.005f * event, 0.01f * event, 0.0f);
      f->solve(hand);
    }
  });
  EXPECT_LT(distance(hand->worldPos, hand->targetPos), 0.02f);
  EXPECT_LT(distance(foot->worldPos, foot->targetPos), 0.02f);
  EXPECT_LT(distance(otherFoot->worldPos, otherFoot->targetPos), 0.02f);
  EXPECT_GT(distance(hand->worldPos, start), 0.15f);
}

TEST(Solve, LimbWeightsKeepALegHandleFromMovingTheOtherLimbs) {
  auto f = buildHumanoid();
  f->setLimbWeights();
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

TEST(Solve, HingesInsideChainsStayInLimitsAndBallJointsStayUnit) {
  auto f = buildHumanoid();
  Pins pins(*f);
  Handle* hand = pins.atEnd("h_hand_left");
  hand->targetPos = Vec3(2, -1, 3);
  printedBy([&] {
    for (int i = 0; i < 5; ++i) f->solve(hand);
  });
  for (Segment* s : f->segments()) {
    if (auto* chain = dynamic_cast<TransformChain*>(s->joint.get())) {
      for (int i = 0; i < chain->childCount(); ++i) {
        if (auto* hinge = dynamic_cast<const AxisRotation*>(&chain->child(i))) {
          EXPECT_GE(hinge->angle, hinge->lower) << s->name;
          EXPECT_LE(hinge->angle, hinge->upper) << s->name;
        }
      }
    }
    if (auto* ball = dynamic_cast<QuatRotation*>(s->joint.get())) {
      const Quat& q = ball->q;
      EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1.0, 1e-12) << s->name;
    }
  }
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
      // Finite, and no larger than a pose file holds, however far the targets.
      for (double v : f->dofs()) ASSERT_LE(std::fabs(v), pose_text::kValueLimit) << "target " << far;
      EXPECT_TRUE(hand->worldPos.isFinite()) << far;
      EXPECT_TRUE(foot->worldPos.isFinite()) << far;
      EXPECT_TRUE(pelvis->worldPos.isFinite()) << far;
    }
  }
}

TEST(SolveStress, HandlesStackedOnOneSegmentAndOnEverySegment) {
  auto f = buildHumanoid();
  Pins pins(*f);
  for (int i = 0; i < 6; ++i) pins.add("h_forearm_right", Vec3(0.01f * i, -0.04f * i, 0.0f));
  for (Segment* s : f->segments()) pins.atEnd(s->name);
  for (auto& h : pins.list) h->targetPos = h->worldPos + Vec3(0.05f, 0.1f, -0.05f);
  for (bool limits : {true, false}) {
    f->limitsEnabled = limits;
    SolveResult r;
    const std::string out = printedBy([&] { r = f->solve(pins.list[0].get()); });
    EXPECT_EQ(countLines(out, "brem"), std::max(0, r.iterations - 90));
    for (double v : f->dofs()) ASSERT_TRUE(std::isfinite(v));
    for (auto& h : pins.list) ASSERT_TRUE(h->worldPos.isFinite());
  }
  // Limits hold for every hinge once they are on.
  f->limitsEnabled = true;
  printedBy([&] { f->solve(nullptr); });
  const std::vector<double> v = f->dofs();
  EXPECT_GE(v[11], 0.0);
  EXPECT_LE(v[11], 1.57);
  EXPECT_GE(v[41], -1.57);
  EXPECT_LE(v[41], 1.57);
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
