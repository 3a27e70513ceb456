#include <gtest/gtest.h>

#include <cmath>

#include "ik/FirmPins.h"
#include "ik/FixedDofs.h"
#include "ik/JointTurn.h"
#include "ik_test_util.h"

namespace {

// p turned by angle about the line through o along the unit axis a
// (Rodrigues' formula, in double).
Vec3 turned(const Vec3& p, const Vec3& o, const Vec3& a, double angle) {
  const double v[3] = {double(p.x) - o.x, double(p.y) - o.y, double(p.z) - o.z};
  const double k[3] = {a.x, a.y, a.z};
  const double c = std::cos(angle), s = std::sin(angle);
  const double kv = k[0] * v[0] + k[1] * v[1] + k[2] * v[2];
  const double kxv[3] = {k[1] * v[2] - k[2] * v[1], k[2] * v[0] - k[0] * v[2], k[0] * v[1] - k[1] * v[0]};
  double r[3];
  for (int i = 0; i < 3; ++i) r[i] = v[i] * c + kxv[i] * s + k[i] * kv * (1 - c);
  return Vec3(float(o.x + r[0]), float(o.y + r[1]), float(o.z + r[2]));
}

void expectNear(const Vec3& a, const Vec3& b, double tolerance) {
  EXPECT_LE(distance(a, b), tolerance) << a << " against " << b;
}

Vec3 endOf(Figure& f, const char* name) {
  return worldPoint(f, f.findSegment(name), f.findSegment(name)->endOffset);
}
Vec3 centreOf(Figure& f, const char* name) { return worldPoint(f, f.findSegment(name), Vec3()); }

}  // namespace

// A ball joint turns every segment below it about its centre, by an axis
// of any length, and nothing else; the root's turns the whole figure.
TEST(JointTurn, ABallJointTurnsEverythingBelowItAboutItsCentre) {
  auto f = buildHumanoid();
  const Vec3 axis = Vec3(0.3f, 1, -0.2f) * (1 / std::sqrt(1.13));
  Vec3 o = centreOf(*f, "h_bicep_left");
  const Vec3 elbow = endOf(*f, "h_bicep_left"), fingers = endOf(*f, "h_hand_left"),
             head = endOf(*f, "h_head");
  ASSERT_TRUE(JointTurn::turn(*f, *f->findSegment("h_bicep_left"), axis * 5.0, 0.7));
  expectNear(endOf(*f, "h_bicep_left"), turned(elbow, o, axis, 0.7), 1e-5);
  expectNear(endOf(*f, "h_hand_left"), turned(fingers, o, axis, 0.7), 1e-5);
  expectNear(endOf(*f, "h_head"), head, 0.0);  // not below the shoulder

  o = centreOf(*f, "root");
  const Vec3 hand = endOf(*f, "h_hand_right"), foot = endOf(*f, "h_foot_left");
  ASSERT_TRUE(JointTurn::turn(*f, *f->root, Vec3(0, 1, 0), -1.2));
  expectNear(centreOf(*f, "root"), o, 0.0);
  expectNear(endOf(*f, "h_hand_right"), turned(hand, o, Vec3(0, 1, 0), -1.2), 1e-5);
  expectNear(endOf(*f, "h_foot_left"), turned(foot, o, Vec3(0, 1, 0), -1.2), 1e-5);
}

// In the start pose the knee's frame is the world's: its hinge turns about z.
TEST(JointTurn, AHingeTakesOnlyTheShareAlongItsAxis) {
  auto f = buildHumanoid();
  const Segment& shin = *f->findSegment("h_shin_left");
  const Vec3 knee = centreOf(*f, "h_shin_left"), ankle = endOf(*f, "h_shin_left");
  const std::vector<double> start = f->dofs();
  ASSERT_TRUE(JointTurn::turn(*f, shin, Vec3(1, 0, 0), 0.5));  // across the hinge: nothing
  EXPECT_TRUE(sameVectors(f->dofs(), start));
  ASSERT_TRUE(JointTurn::turn(*f, shin, Vec3(1, 0, 1), 0.4));  // half along it: 0.4 cos 45 degrees
  expectNear(endOf(*f, "h_shin_left"), turned(ankle, knee, Vec3(0, 0, 1), 0.4 * std::sqrt(0.5)), 1e-5);
  EXPECT_NEAR(f->dofs()[11], 0.2 + 0.4 * std::sqrt(0.5), 1e-6);
}

// The ankle: a hinge about z, then one about y. In the start pose (knee and
// ankle at 0.2) their world axes are z and Rz(0.4) y.
TEST(JointTurn, TwoHingesEachTakeTheirOwnAxis) {
  auto f = buildHumanoid();
  const Segment& foot = *f->findSegment("h_foot_left");
  ASSERT_TRUE(JointTurn::turn(*f, foot, Vec3(float(-std::sin(0.4)), float(std::cos(0.4)), 0), 0.25));
  EXPECT_NEAR(f->dofs()[12], 0.2, 1e-6);
  EXPECT_NEAR(f->dofs()[13], 0.45, 1e-6);
  ASSERT_TRUE(JointTurn::turn(*f, foot, Vec3(0, 0, -1), 0.1));
  EXPECT_NEAR(f->dofs()[12], 0.1, 1e-6);
  EXPECT_NEAR(f->dofs()[13], 0.45, 1e-6);
}

// The knee: 0 to 1.57, at 0.2.
TEST(JointTurn, LimitsClampOnBothSidesWhenOn) {
  for (bool limits : {true, false}) {
    for (double angle : {1.0, 3.0, -0.1, -3.0}) {
      auto f = buildHumanoid();
      f->limitsEnabled = limits;
      ASSERT_TRUE(JointTurn::turn(*f, *f->findSegment("h_shin_left"), Vec3(0, 0, 1), angle));
      EXPECT_NEAR(f->dofs()[11], limits ? std::clamp(0.2 + angle, 0.0, 1.57) : 0.2 + angle, 1e-9) << angle;
    }
  }
}

TEST(JointTurn, NothingTurnsWithoutARotationOrAnAxis) {
  auto f = buildHumanoid();
  const std::vector<double> start = f->dofs();
  EXPECT_FALSE(JointTurn::turn(*f, *f->findSegment("h_pelvis_up"), Vec3(0, 1, 0), 0.5));
  EXPECT_FALSE(JointTurn::turn(*f, *f->findSegment("h_head"), Vec3(), 0.5));
  EXPECT_FALSE(JointTurn::turn(*f, *f->findSegment("h_head"), Vec3(0, 1, 0), NAN));
  EXPECT_TRUE(sameVectors(f->dofs(), start));
  const std::vector<unsigned char> head = JointTurn::dofsOf(*f, *f->findSegment("h_head"));
  for (int k = 0; k < f->dofCount; ++k) EXPECT_EQ(head[k], k >= 29 && k <= 32) << k;
}

// Turning the trunk with hands and feet pinned: the pins pull the limbs back
// while the trunk keeps its turn, and the spine and head, which move no pin,
// stay turned with it; firm or not.
TEST(JointTurn, OtherPinsHoldWhileTheTurnedJointStays) {
  for (bool firm : {false, true}) {
    auto f = buildHumanoid();
    Pins pins(*f);
    for (const char* s : {"h_hand_left", "h_hand_right", "h_foot_left", "h_foot_right"}) pins.atEnd(s);
    for (auto& h : pins.list) h->targetPos = h->worldPos;
    const Segment& abdomen = *f->findSegment("h_abdomen");
    ASSERT_TRUE(JointTurn::turn(*f, abdomen, Vec3(0, 1, 0), 0.3));
    const std::vector<double> turnedPose = f->dofs();
    const std::vector<unsigned char> fixed = JointTurn::dofsOf(*f, abdomen);
    const auto weights = f->dofWeights;
    if (firm) {
      EXPECT_EQ(printedBy([&] { FirmPins::hold(*f, nullptr, fixed); }), "");
    } else {
      FixedDofs held(*f, fixed);
      printedBy([&] { f->solve(nullptr); });
    }
    EXPECT_TRUE(f->dofWeights == weights);
    const std::vector<double> after = f->dofs();
    for (int k = 21; k <= 32; ++k) EXPECT_NEAR(after[k], turnedPose[k], 1e-15) << k;
    if (firm) {
      f->updateHandlePositions();
      for (auto& h : pins.list) EXPECT_LT(distance(h->worldPos, h->targetPos), 0.001);
    }
  }
}
