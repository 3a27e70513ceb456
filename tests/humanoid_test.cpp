#include "humanoid/Humanoid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>
#include <string>

#include "ik_test_util.h"

namespace {

void expectPoint(Figure& f, const char* name, double x, double y, double z) {
  Segment* s = f.findSegment(name);
  ASSERT_NE(s, nullptr) << name;
  const Vec3 p = worldPoint(f, s, s->endOffset);
  EXPECT_NEAR(p.x, x, 1e-4) << name;
  EXPECT_NEAR(p.y, y, 1e-4) << name;
  EXPECT_NEAR(p.z, z, 1e-4) << name;
}

}  // namespace

TEST(Humanoid, TreeOf21NamedSegmentsInCreationOrder) {
  auto f = buildHumanoid();
  const std::vector<Segment*> all = f->segments();
  ASSERT_EQ(all.size(), 21u);  // so the 21 named below, with the indices 0 to 20, are all
  const char* names[] = {"root",         "h_pelvis_up",     "h_pelvis_left", "h_pelvis_right",
                         "h_thigh_left", "h_shin_left",     "h_foot_left",   "h_thigh_right",
                         "h_shin_right", "h_foot_right",    "h_abdomen",     "h_spine",
                         "h_head",       "h_scapula_left",  "h_bicep_left",  "h_forearm_left",
                         "h_hand_left",  "h_scapula_right", "h_bicep_right", "h_forearm_right",
                         "h_hand_right"};
  for (int i = 0; i < 21; ++i) {
    Segment* s = f->findSegment(names[i]);
    ASSERT_NE(s, nullptr) << names[i];
    EXPECT_EQ(s->index, i) << names[i];
    EXPECT_EQ(s->hasShape, i < 1 || i > 3) << names[i];
  }
  // Child order fixes the DOF numbering.
  const auto children = [](const Segment* s) {
    std::string names;
    for (int i = 0; i < s->childCount(); ++i) names += std::string(s->child(i)->name) + " ";
    return names;
  };
  EXPECT_EQ(children(f->root.get()), "h_pelvis_left h_pelvis_right h_pelvis_up ");
  EXPECT_EQ(children(f->findSegment("h_abdomen")), "h_spine h_scapula_left h_scapula_right ");
  EXPECT_EQ(f->handleCount(), 0);
}

// The start pose's DOFs, exactly the hinge angles flagged, uniform weights,
// the default tolerance and the limits off.
TEST(Humanoid, InitialDofVectorFlagsAndSettings) {
  auto f = buildHumanoid();
  ASSERT_EQ(f->dofCount, 51);
  const double h = std::sqrt(0.5);
  const double tilt = 0.939105692;
  const double expected[51] = {0,    double(0.91f), 0,  0, 0, 0, 1,            // root
                               0,    0,     0,     1,  0.2,  0.2,  0.2,       // left leg
                               0,    0,     0,     1,  0.2,  0.2,  0.2,       // right leg
                               0,    0,     0,     1,  0, 0, 0, 1, 0, 0, 0, 1,  // abdomen, spine, head
                               -0.5, tilt,  -h,    0,  0,    h,    -0.5, -0.5, -0.5,  // left arm
                               -0.5, -tilt, h,     0,  0,    h,    -0.5, -0.5, -0.5};  // right arm
  const std::vector<double> v = f->dofs();
  for (int i = 0; i < 51; ++i) {
    // The upper arms' quaternions hold sines that passed through a float.
    const bool upperArm = i == 35 || i == 38 || i == 44 || i == 47;
    EXPECT_NEAR(v[i], expected[i], upperArm ? 1e-7 : 1e-9) << "DOF " << i;
  }
  const std::vector<int> list = hingeDofs(*f);
  EXPECT_EQ(list.size(), 16u);
  const std::set<int> hinges(list.begin(), list.end());
  for (int i = 0; i < 51; ++i) EXPECT_EQ(f->angularDof[i], hinges.count(i) ? 1 : 0) << i;
  ASSERT_EQ(f->dofWeights.size(), 21u);
  for (const auto& row : f->dofWeights) ASSERT_EQ(row.size(), 51u);
  expectUniformWeights(*f);
  EXPECT_EQ(std::make_pair(f->tolerance, f->limitsEnabled), std::make_pair(0.01, false));
}

TEST(Humanoid, WorldPointsOfTheInitialPose) {
  auto f = buildHumanoid();
  expectPoint(*f, "root", 0, 0.91, 0);
  expectPoint(*f, "h_pelvis_left", 0, 0.84, 0.11);
  expectPoint(*f, "h_thigh_left", 0, 0.415, 0.11);
  expectPoint(*f, "h_shin_left", 0.0805, 0.0181, 0.11);
  expectPoint(*f, "h_thigh_right", 0, 0.415, -0.11);
  expectPoint(*f, "h_shin_right", 0.0805, 0.0181, -0.11);
  expectPoint(*f, "h_pelvis_up", 0, 0.98, 0);
  expectPoint(*f, "h_head", 0, 1.62, 0);
  // Shoulder and elbow; the right side mirrors the left in z down to the elbow.
  expectPoint(*f, "h_scapula_left", 0.0719, 1.3416, 0.205);
  expectPoint(*f, "h_scapula_right", 0.0719, 1.3416, -0.205);
  expectPoint(*f, "h_bicep_left", -0.0480, 1.1221, 0.3881);
  expectPoint(*f, "h_bicep_right", -0.0480, 1.1221, -0.3881);
  // Forearms and hands share their signs, so the hands do not mirror.
  expectPoint(*f, "h_hand_left", -0.3609, 1.0330, 0.6489);
  expectPoint(*f, "h_hand_right", -0.4038, 0.9545, -0.5266);
}

TEST(Humanoid, ComputedProportions) {
  auto f = buildHumanoid();
  // The lengths show in the world points above; the shapes' widths here.
  EXPECT_EQ(f->findSegment("h_thigh_left")->shape[0], 0.124f);
  // The pelvis ellipsoid is centred on the root: 0.08, 0.07, 0.187 each way.
  const Mat4& pelvis = f->root->shape;
  EXPECT_FLOAT_EQ(pelvis[0] * 0.5f, 0.08f);
  EXPECT_FLOAT_EQ(pelvis[5] * 0.5f, 0.07f);
  EXPECT_FLOAT_EQ(pelvis[10] * 0.5f, 0.187f);
  EXPECT_EQ(pelvis[3] + pelvis[7] + pelvis[11], 0.0f);
  // The limbs' ellipsoids reach from the segment's origin to its end along
  // its long axis: the poles of the unit ball's image.
  for (Segment* s : f->segments()) {
    if (!s->hasShape || s == f->root.get()) continue;
    const Vec3 e = s->endOffset;
    const bool alongX = e.x != 0;
    const Vec3 a = transformPoint(s->shape, alongX ? Vec3(0.5f, 0, 0) : Vec3(0, 0.5f, 0));
    const Vec3 b = transformPoint(s->shape, alongX ? Vec3(-0.5f, 0, 0) : Vec3(0, -0.5f, 0));
    const float lo = alongX ? std::min(a.x, b.x) : std::min(a.y, b.y);
    const float hi = alongX ? std::max(a.x, b.x) : std::max(a.y, b.y);
    const float end = alongX ? e.x : e.y;
    EXPECT_NEAR(lo, std::min(0.0f, end), 1e-6) << s->name;
    EXPECT_NEAR(hi, std::max(0.0f, end), 1e-6) << s->name;
  }
}

// How far the drawn body reaches along a direction, against the farthest of
// many points on its balls' surfaces and its lines' ends: never beyond, and
// within a sample's spacing of it.
TEST(FigureReach, IsTheFarthestPointOfTheDrawnBody) {
  std::unique_ptr<Figure> figure = buildHumanoid();
  std::vector<double> dofs = figure->dofs();
  for (size_t i = 0; i < dofs.size(); ++i) dofs[i] += 0.3 * std::sin(double(i));
  figure->setDofs(dofs);
  std::vector<Vec3> points;
  std::function<void(const Segment*, const Mat4&)> collect = [&](const Segment* s, const Mat4& parent) {
    const Mat4 W = Figure::frame(parent, *s);
    if (s->hasShape) {
      for (int a = 0; a <= 60; ++a) {
        for (int b = 0; b < 120; ++b) {
          const double theta = M_PI * a / 60, phi = 2 * M_PI * b / 120;
          const Vec3 u(float(0.5 * std::sin(theta) * std::cos(phi)), float(0.5 * std::sin(theta) * std::sin(phi)),
                       float(0.5 * std::cos(theta)));
          points.push_back(transformPoint(W * s->shape, u));
        }
      }
    } else {
      points.push_back(transformPoint(W, Vec3()));
      points.push_back(transformPoint(W, s->endOffset));
    }
    for (int i = 0; i < s->childCount(); ++i) collect(s->child(i), W);
  };
  collect(figure->root.get(), Mat4());
  for (const Vec3& d : {Vec3(1, 0, 0), Vec3(0, -1, 0), Vec3(0, 0, 1), Vec3(0.6f, 0.48f, -0.64f)}) {
    double farthest = -1e9;
    for (const Vec3& p : points) farthest = std::max(farthest, double(dot(d, p)));
    EXPECT_GE(figure->reach(d), farthest - 1e-6);
    EXPECT_LT(figure->reach(d), farthest + 2e-3);
  }
}
