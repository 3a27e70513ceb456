#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <kdl/tree.hpp>
#include <memory>
#include <vector>

#include "bench/BenchFigure.h"
#include "bench/kdl/KdlHumanoid.h"
#include "humanoid/Humanoid.h"
#include "ik_test_util.h"

namespace {

// The humanoid with a handle at the origin and one at the end of every segment.
struct Rig {
  Rig() : figure(buildHumanoid()) {
    for (Segment* s : figure->segments()) {
      for (const Vec3& p : {Vec3(), s->endOffset}) {
        handles.push_back(std::make_unique<Handle>(p.x, p.y, p.z));
        figure->addHandle(handles.back().get(), s);
        points.emplace_back(s, p);
      }
    }
    figure->updateHandlePositions();
  }

  std::vector<Vec3> figurePositions() {
    figure->updateHandlePositions();
    std::vector<Vec3> out;
    for (auto& h : handles) out.push_back(h->worldPos);
    return out;
  }

  // Each handle's start position moved by a few centimetres, different per handle.
  std::vector<Vec3> nearbyTargets() {
    std::vector<Vec3> t = figurePositions();
    for (size_t i = 0; i < t.size(); ++i) {
      const double k = static_cast<double>(i);
      t[i] = t[i] +
             Vec3(float(0.05 * std::sin(k)), float(0.04 * std::cos(1.3 * k)), float(0.03 + 0.01 * k / 42));
    }
    return t;
  }

  std::unique_ptr<Figure> figure;
  std::vector<std::unique_ptr<Handle>> handles;
  std::vector<KdlHumanoid::HandlePoint> points;
};

// The root moved, every quaternion of the figure at a different unnormalised
// rotation, the right upper arm at Ry(pi/2), where the Rx Ry Rz angles lock,
// and every hinge moved by 0.2.
void poseAwayFromTheStart(Figure& f) {
  std::vector<double> dofs = f.dofs();
  dofs[0] += 0.3;
  dofs[1] -= 0.2;
  int n = 0;
  for (const int d : firstDofsOf<QuatRotation>(f)) {
    dofs[d] = 0.3 * std::sin(n + 1.0);
    dofs[d + 1] = 0.4 * std::cos(2.0 * n);
    dofs[d + 2] = -0.2 + 0.1 * n;
    dofs[d + 3] = 1.5;
    ++n;
  }
  const int rightUpperArm = firstDofsOf<QuatRotation>(f).back();
  dofs[rightUpperArm] = dofs[rightUpperArm + 2] = 0;
  dofs[rightUpperArm + 1] = dofs[rightUpperArm + 3] = std::sqrt(0.5);
  for (int d : hingeDofs(f)) dofs[d] += 0.2;
  f.setDofs(dofs);
}

// Quaternions stored x, y, z, w, in double.
using Quaternion = std::array<double, 4>;

Quaternion product(const Quaternion& a, const Quaternion& b) {
  return {a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1],
          a[3] * b[1] + a[1] * b[3] + a[2] * b[0] - a[0] * b[2],
          a[3] * b[2] + a[2] * b[3] + a[0] * b[1] - a[1] * b[0],
          a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]};
}

// The derivatives of the quaternion of Rx(a) Ry(b) Rz(c) in a, b and c,
// signed so that the quaternion is `near` rather than its negative.
std::array<Quaternion, 3> eulerXyzDerivatives(const double angle[3], const Quaternion& near) {
  Quaternion turn[3], rate[3];
  for (int axis = 0; axis < 3; ++axis) {
    turn[axis] = rate[axis] = Quaternion{0, 0, 0, 0};
    turn[axis][axis] = std::sin(angle[axis] / 2), turn[axis][3] = std::cos(angle[axis] / 2);
    rate[axis][axis] = 0.5 * std::cos(angle[axis] / 2), rate[axis][3] = -0.5 * std::sin(angle[axis] / 2);
  }
  const Quaternion q = product(product(turn[0], turn[1]), turn[2]);
  const double sign = q[0] * near[0] + q[1] * near[1] + q[2] * near[2] + q[3] * near[3] < 0 ? -1.0 : 1.0;
  std::array<Quaternion, 3> d = {product(product(rate[0], turn[1]), turn[2]),
                                 product(product(turn[0], rate[1]), turn[2]),
                                 product(product(turn[0], turn[1]), rate[2])};
  for (Quaternion& v : d) {
    for (double& x : v) x *= sign;
  }
  return d;
}

// Float gradients summed over 42 handles: a few 1e-6 from KDL's doubles.
double gradientTolerance(double v) { return 2e-5 * std::max(1.0, std::abs(v)); }

void expectSamePoint(const Vec3& kdl, const Vec3& figure) {
  EXPECT_NEAR(kdl.x, figure.x, 1e-5);
  EXPECT_NEAR(kdl.y, figure.y, 1e-5);
  EXPECT_NEAR(kdl.z, figure.z, 1e-5);
}

}  // namespace

TEST(KdlPeer, TreeHasTheFigureJoints) {
  Rig rig;
  KdlHumanoid kdl(*rig.figure, rig.points, rig.figurePositions());
  // 6 for the root, 3 for each of 7 ball joints, 16 hinges.
  EXPECT_EQ(kdl.jointCount(), 6 + 7 * 3 + 16);
  EXPECT_EQ(kdl.handleCount(), 42);
  EXPECT_EQ(static_cast<int>(kdl.tree().getNrOfJoints()), kdl.jointCount());

  // The knee is the left shin's hinge about z.
  const auto knee = kdl.tree().getSegment("h_shin_left.0rz");
  ASSERT_NE(knee, kdl.tree().getSegments().end());
  EXPECT_EQ(static_cast<int>(GetTreeElementQNr(knee->second)), kdl.jointOfDof(11));
  EXPECT_EQ(GetTreeElementSegment(knee->second).getJoint().getType(), KDL::Joint::RotZ);
  EXPECT_DOUBLE_EQ(kdl.jointPositions()[kdl.jointOfDof(11)], rig.figure->dofs()[11]);

  // Translation and hinge DOFs have a joint each, quaternion components none.
  for (int d = 0; d < 3; ++d) EXPECT_GE(kdl.jointOfDof(d), 0);
  for (int d = 3; d < 7; ++d) EXPECT_EQ(kdl.jointOfDof(d), -1);
  for (int d : hingeDofs(*rig.figure)) EXPECT_GE(kdl.jointOfDof(d), 0) << "DOF " << d;
}

TEST(KdlPeer, AnyPoseMatchesFigure) {
  Rig rig;
  poseAwayFromTheStart(*rig.figure);
  const std::vector<Vec3> figure = rig.figurePositions();
  const std::vector<Vec3> kdl = KdlHumanoid(*rig.figure, rig.points, figure).positions();
  ASSERT_EQ(kdl.size(), figure.size());
  for (size_t i = 0; i < kdl.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "handle " << i << " on " << rig.points[i].first->name);
    expectSamePoint(kdl[i], figure[i]);
  }
}

// The figure's own gradient against KDL's J^T e for the same handles, targets
// and weights: 3 for handle 0, the dragged one, 1 for the others.
TEST(KdlPeer, FigureGradientIsKdlsJacobianTransposeError) {
  for (bool away : {false, true}) {
    SCOPED_TRACE(away ? "away from the start" : "initial pose");
    Rig rig;
    if (away) poseAwayFromTheStart(*rig.figure);
    const Figure& f = *rig.figure;
    const std::vector<Vec3> targets = rig.nearbyTargets();
    for (size_t i = 0; i < targets.size(); ++i) rig.handles[i]->targetPos = targets[i];
    KdlHumanoid kdl(f, rig.points, targets);
    std::vector<double> expected;
    kdl.iteration(expected);
    const std::vector<float> g = evaluateGradient(*rig.figure, rig.handles[0].get());

    // Translation and hinge DOFs: each is a KDL joint of its own.
    std::vector<int> shared = hingeDofs(f);
    for (int d : {0, 1, 2}) shared.push_back(d);
    for (int d : shared) {
      const double e = expected[kdl.jointOfDof(d)];
      EXPECT_NEAR(g[d], e, gradientTolerance(e)) << "DOF " << d;
    }

    // A ball joint's three KDL angles, through the chain rule: the gradient
    // in an angle is the quaternion gradient times the quaternion's
    // derivative in that angle.
    const std::vector<double> dofs = f.dofs(), angles = kdl.jointPositions();
    for (int first : firstDofsOf<QuatRotation>(f)) {
      const std::vector<int> joints = kdl.jointsOfBall(first);
      ASSERT_EQ(joints.size(), 3u) << "DOF " << first;
      const double angle[3] = {angles[joints[0]], angles[joints[1]], angles[joints[2]]};
      const Quaternion q = {dofs[first], dofs[first + 1], dofs[first + 2], dofs[first + 3]};
      const std::array<Quaternion, 3> dq = eulerXyzDerivatives(angle, q);
      for (int axis = 0; axis < 3; ++axis) {
        double chained = 0.0;
        for (int k = 0; k < 4; ++k) chained += double(g[first + k]) * dq[axis][k];
        const double e = expected[joints[axis]];
        EXPECT_NEAR(chained, e, gradientTolerance(e)) << "ball joint at DOF " << first << ", axis " << axis;
      }
    }
  }
}

TEST(KdlPeer, GradientMatchesCentralDifference) {
  Rig rig;
  std::vector<Vec3> targets = rig.nearbyTargets();
  targets[0] = Vec3(30, 30, 30);  // dragged far, weighted 3
  KdlHumanoid kdl(*rig.figure, rig.points, targets);

  // Away from the start pose so that no joint sits at a special angle.
  std::vector<double> q = kdl.jointPositions();
  for (size_t i = 0; i < q.size(); ++i) q[i] += 0.3 * std::sin(1.7 * i + 0.5);
  kdl.setJointPositions(q);

  std::vector<double> g;
  kdl.iteration(g);
  ASSERT_EQ(static_cast<int>(g.size()), kdl.jointCount());

  const auto objectiveAt = [&kdl](const std::vector<double>& joints) {
    kdl.setJointPositions(joints);
    return kdl.objective();
  };
  for (size_t i = 0; i < q.size(); ++i) {
    const double fd = centralDifference(objectiveAt, q, i, 1e-5);
    EXPECT_NEAR(g[i], fd, 1e-5 * std::max(1.0, std::abs(fd))) << "joint " << i;
  }
}

TEST(KdlPeer, BenchHandlesMatchBenchFigure) {
  for (int n : {1, 5, 20}) {
    BenchFigure bench(n);
    KdlHumanoid kdl = KdlHumanoid::fromFigureHandles(*bench.figure);
    ASSERT_EQ(kdl.handleCount(), n);
    const std::vector<Vec3> x = kdl.positions();
    for (int i = 0; i < n; ++i) {
      expectSamePoint(x[i], bench.handles[i]->worldPos);
      // Only the dragged handle is off target, so it alone pulls.
      const float off = length(x[i] - bench.handles[i]->targetPos);
      EXPECT_TRUE(i == 0 ? off > 1.0f : off < 1e-5f) << "handle " << i << " off by " << off;
    }
    std::vector<double> g;
    kdl.iteration(g);
    double norm = 0.0;
    for (double v : g) norm += v * v;
    EXPECT_GT(norm, 0.0);
  }
}
