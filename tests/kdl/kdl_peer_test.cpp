#include <gtest/gtest.h>

#include <cmath>
#include <kdl/tree.hpp>
#include <memory>
#include <vector>

#include "bench/BenchFigure.h"
#include "bench/kdl/KdlHumanoid.h"
#include "humanoid/Humanoid.h"

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

void expectSamePositions(const std::vector<Vec3>& kdl, const std::vector<Vec3>& figure,
                         const std::vector<KdlHumanoid::HandlePoint>& points) {
  ASSERT_EQ(kdl.size(), figure.size());
  for (size_t i = 0; i < kdl.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "handle " << i << " on " << points[i].first->name);
    EXPECT_NEAR(kdl[i].x, figure[i].x, 1e-5);
    EXPECT_NEAR(kdl[i].y, figure[i].y, 1e-5);
    EXPECT_NEAR(kdl[i].z, figure[i].z, 1e-5);
  }
}

// Segments of every kind and depth: free root, ball joints, hinges, hinge pairs.
constexpr int kHingeDofs[] = {11, 12, 13, 18, 19, 20, 33, 34, 39, 40, 41, 42, 43, 48, 49, 50};

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
  for (int d : kHingeDofs) EXPECT_GE(kdl.jointOfDof(d), 0) << "DOF " << d;
}

TEST(KdlPeer, InitialPoseMatchesFigure) {
  Rig rig;
  KdlHumanoid kdl(*rig.figure, rig.points, rig.figurePositions());
  expectSamePositions(kdl.positions(), rig.figurePositions(), rig.points);
}

TEST(KdlPeer, ChangedHingesAndTranslationMatchFigure) {
  Rig rig;
  KdlHumanoid kdl(*rig.figure, rig.points, rig.figurePositions());

  std::vector<double> dofs = rig.figure->dofs();
  std::vector<double> q = kdl.jointPositions();
  auto change = [&](int dof, double value) {
    dofs[dof] = value;
    q[kdl.jointOfDof(dof)] = value;
  };
  change(0, 0.3);    // root x
  change(1, 0.7);    // root y
  change(11, 1.1);   // left knee
  change(12, -0.4);  // left foot, both hinges
  change(13, 0.6);
  change(33, 0.25);   // left scapula
  change(40, -1.2);   // left elbow
  change(41, 0.9);    // left wrist
  change(43, -0.35);  // right scapula tilt
  change(48, 0.5);    // right forearm
  rig.figure->setDofs(dofs);
  kdl.setJointPositions(q);

  expectSamePositions(kdl.positions(), rig.figurePositions(), rig.points);
}

TEST(KdlPeer, BallJointsInAnyPoseMatchFigure) {
  Rig rig;
  std::vector<double> dofs = rig.figure->dofs();
  // Every quaternion of the figure, at a different unnormalised rotation.
  const int quats[] = {3, 7, 14, 21, 25, 29, 35, 44};
  for (int n = 0; n < 8; ++n) {
    const int d = quats[n];
    dofs[d] = 0.3 * std::sin(n + 1.0);
    dofs[d + 1] = 0.4 * std::cos(2.0 * n);
    dofs[d + 2] = -0.2 + 0.1 * n;
    dofs[d + 3] = 1.5;
  }
  // The right upper arm at Ry(pi/2), where Rx Ry Rz angles lock.
  dofs[45] = std::sqrt(0.5), dofs[44] = dofs[46] = 0, dofs[47] = std::sqrt(0.5);
  for (int d : kHingeDofs) dofs[d] += 0.2;
  rig.figure->setDofs(dofs);

  KdlHumanoid kdl(*rig.figure, rig.points, rig.figurePositions());
  expectSamePositions(kdl.positions(), rig.figurePositions(), rig.points);
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

  const double h = 1e-5;
  for (size_t i = 0; i < q.size(); ++i) {
    std::vector<double> moved = q;
    moved[i] = q[i] + h;
    kdl.setJointPositions(moved);
    const double up = kdl.objective();
    moved[i] = q[i] - h;
    kdl.setJointPositions(moved);
    const double down = kdl.objective();
    const double fd = (up - down) / (2 * h);
    EXPECT_NEAR(g[i], fd, 1e-5 * std::max(1.0, std::abs(fd))) << "joint " << i;
  }
}

TEST(KdlPeer, GradientMatchesFigureOnSharedCoordinates) {
  // Translation and hinge angles mean the same in both models, so KDL's
  // gradient there must be the derivative of the figure's own objective.
  Rig rig;
  const std::vector<Vec3> targets = rig.nearbyTargets();
  KdlHumanoid kdl(*rig.figure, rig.points, targets);
  std::vector<double> g;
  kdl.iteration(g);

  auto figureObjective = [&](const std::vector<double>& dofs) {
    rig.figure->setDofs(dofs);
    const std::vector<Vec3> x = rig.figurePositions();
    double sum = 0.0;
    for (size_t i = 0; i < x.size(); ++i) {
      const Vec3 e = x[i] - targets[i];
      sum += 0.5 * (i == 0 ? 3.0 : 1.0) * (double(e.x) * e.x + double(e.y) * e.y + double(e.z) * e.z);
    }
    return sum;
  };
  const std::vector<double> start = rig.figure->dofs();
  const double h = 1e-3;  // the figure computes in float
  std::vector<int> shared = {0, 1, 2};
  shared.insert(shared.end(), std::begin(kHingeDofs), std::end(kHingeDofs));
  for (int d : shared) {
    std::vector<double> moved = start;
    moved[d] = start[d] + h;
    const double up = figureObjective(moved);
    moved[d] = start[d] - h;
    const double down = figureObjective(moved);
    EXPECT_NEAR(g[kdl.jointOfDof(d)], (up - down) / (2 * h), 1e-3) << "DOF " << d;
  }
}

TEST(KdlPeer, BenchHandlesMatchBenchFigure) {
  for (int n : {1, 5, 20}) {
    BenchFigure bench(n);
    KdlHumanoid kdl = KdlHumanoid::fromFigureHandles(*bench.figure);
    ASSERT_EQ(kdl.handleCount(), n);
    const std::vector<Vec3> x = kdl.positions();
    for (int i = 0; i < n; ++i) {
      EXPECT_NEAR(x[i].x, bench.handles[i]->worldPos.x, 1e-5);
      EXPECT_NEAR(x[i].y, bench.handles[i]->worldPos.y, 1e-5);
      EXPECT_NEAR(x[i].z, bench.handles[i]->worldPos.z, 1e-5);
    }
    // Only the dragged handle is off target.
    std::vector<double> g;
    kdl.iteration(g);
    double norm = 0.0;
    for (double v : g) norm += v * v;
    EXPECT_GT(norm, 0.0);
  }
}
