// A pose applied to the whole body or a part of it: parts, amounts, the
// mirror, the root, handles that follow, and the document's preview of it.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <tuple>

#include "document/PoseDocument.h"
#include "humanoid/Humanoid.h"
#include "ik_test_util.h"
#include "pose/PartApply.h"

namespace {

// The humanoid's start pose with every joint moved: the pose applied.
class Apply : public testing::Test {
 protected:
  Apply() : other(currentPose(*figureForOther)) {
    set("root", {0.3, 0.7, -0.2, 0, std::sin(0.4), 0, std::cos(0.4)});
    for (const char* quat : {"h_thigh_left", "h_thigh_right", "h_abdomen", "h_spine", "h_bicep_left",
                             "h_bicep_right"}) {
      set(quat, {0.1, 0.2, 0.3, std::sqrt(1 - 0.14)});
    }
    set("h_head", {0, -std::sin(0.5), 0, -std::cos(0.5)});  // 1 rad about y, as its negative
    for (const char* hinge : {"h_shin_left", "h_shin_right", "h_hand_left", "h_hand_right"}) set(hinge, {1.0});
    for (const char* two : {"h_foot_left", "h_foot_right", "h_scapula_left", "h_scapula_right"}) set(two, {0.3, 0.4});
    set("h_forearm_left", {0.1, -0.3});
    set("h_forearm_right", {0.2, -0.5});
  }
  void set(const char* name, std::vector<double> values) { other.params[at(name)] = std::move(values); }
  int at(const char* name) const {
    const std::vector<Segment*> all = doc.figure().segments();
    return static_cast<int>(std::find(all.begin(), all.end(), doc.figure().findSegment(name)) - all.begin());
  }
  std::vector<double> now(const char* name) const { return currentPose(doc.figure()).params[at(name)]; }
  std::vector<double> start(const char* name) const { return currentPose(*figureForOther).params[at(name)]; }
  void preview(BodyPart part, double amount, bool mirrored = false) {
    ASSERT_FALSE(doc.previewApply(other, {part, mirrored, amount}).refused);
  }

  std::unique_ptr<Figure> figureForOther = buildHumanoid();
  Pose other;
  PoseDocument doc{buildHumanoid()};
};

void expectNear(const std::vector<double>& a, const std::vector<double>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], 1e-12) << i;
}

TEST_F(Apply, EachPartTakesItsSegmentsAndNoOthers) {
  const std::set<std::string> left{"h_scapula_left", "h_bicep_left", "h_forearm_left", "h_hand_left"},
      right{"h_scapula_right", "h_bicep_right", "h_forearm_right", "h_hand_right"},
      leftLeg{"h_thigh_left", "h_shin_left", "h_foot_left"},
      rightLeg{"h_thigh_right", "h_shin_right", "h_foot_right"};
  std::set<std::string> arms = left, legs = leftLeg;
  arms.insert(right.begin(), right.end());
  legs.insert(rightLeg.begin(), rightLeg.end());
  for (const auto& [part, names] : std::vector<std::pair<BodyPart, std::set<std::string>>>{
           {BodyPart::Head, {"h_head"}}, {BodyPart::Trunk, {"h_abdomen", "h_spine"}},
           {BodyPart::LeftArm, left}, {BodyPart::RightArm, right}, {BodyPart::Arms, arms},
           {BodyPart::LeftLeg, leftLeg}, {BodyPart::RightLeg, rightLeg}, {BodyPart::Legs, legs}}) {
    preview(part, 1.0);
    int changed = 0;
    for (const Segment* s : doc.figure().segments()) {
      EXPECT_TRUE(sameVectors(now(s->name), names.count(s->name) ? other.params[at(s->name)] : start(s->name)))
          << s->name;
      changed += !sameVectors(now(s->name), start(s->name));
    }
    EXPECT_EQ(changed, static_cast<int>(names.size())) << body_part::nameOf(part);
    doc.dropPreview();
  }
  preview(BodyPart::Head, 1.0);
  doc.keepPreview("applied", false);
  doc.dropPreview();  // nothing previews: the kept pose stays
  EXPECT_TRUE(sameVectors(now("h_head"), other.params[at("h_head")]));
  EXPECT_EQ(body_part::named("left-leg"), BodyPart::LeftLeg);
  EXPECT_EQ(body_part::named("left_leg"), std::nullopt);
}

// The whole body at 1 is a paste of the pose, bit for bit, but for the
// root's place on the floor.
TEST_F(Apply, TheWholeBodyTakesTheRootsTurnAndHeightAndKeepsItsPlace) {
  preview(BodyPart::Whole, 1.0);
  const std::vector<double> root = now("root");
  EXPECT_EQ(root[0], 0.0);
  EXPECT_EQ(root[2], 0.0);
  set("root", {0.0, 0.7, 0.0, 0, std::sin(0.4), 0, std::cos(0.4)});
  PoseDocument pasted(buildHumanoid());
  pasted.preview(other);
  EXPECT_EQ(pose_text::write(doc.figure()), pose_text::write(pasted.figure()));
}

// Nothing at 0. Worked values: a shin from 0.2 to 1 is at 0.6 halfway; the
// head from no turn to 1 rad about y (given as the negative quaternion) is at
// 0.5 rad about y by the shorter arc. Amounts beyond the ends are refused.
TEST_F(Apply, NothingAt0HalfwayIsTheMidpointAndTheShorterSlerpAndBeyondIsRefused) {
  const std::string before = pose_text::write(doc.figure());
  preview(BodyPart::Whole, 0.0);
  EXPECT_EQ(pose_text::write(doc.figure()), before);
  preview(BodyPart::Whole, 0.5);
  EXPECT_NEAR(now("h_shin_left")[0], 0.6, 1e-15);
  expectNear(now("h_head"), {0.0, std::sin(0.25), 0.0, std::cos(0.25)});
  EXPECT_NEAR(now("root")[1], (0.7 + start("root")[1]) / 2, 1e-7);
  for (double amount : {-0.0001, 1.0001, std::nan("")}) {
    EXPECT_EQ(doc.previewApply(other, {BodyPart::Whole, false, amount}).words, "apply: the amount goes from 0 to 1");
  }
  preview(BodyPart::Whole, 0.0);
  EXPECT_FALSE(doc.keepPreview("applied", false).refused);
  EXPECT_EQ(doc.steps().undoCount(), 0u);
}

// The left arm mirrored is the pose's right arm reflected in the figure's
// plane: a quaternion's x and y change sign, and the forearm's twist of
// -0.5 becomes +0.5, which its limits (-1.57 to 0) clamp to 0.
TEST_F(Apply, MirroredTheOtherSidesLimbComesReflectedAndClamped) {
  preview(BodyPart::LeftArm, 1.0, true);
  expectNear(now("h_bicep_left"), {-0.1, -0.2, 0.3, std::sqrt(1 - 0.14)});
  expectNear(now("h_forearm_left"), {0.2, 0.0});
  expectNear(now("h_scapula_left"), {0.3, -0.4});
  EXPECT_TRUE(sameVectors(now("h_bicep_right"), start("h_bicep_right")));
}

// A handle on the moved hand goes with it; one on the foot, which stays,
// keeps its target; the solver then leaves the new pose where it is.
TEST_F(Apply, HandlesFollowAndTheSolverHoldsTheNewPose) {
  const Segment* hand = doc.figure().findSegment("h_hand_left");
  const Segment* foot = doc.figure().findSegment("h_foot_left");
  doc.pin(hand, Vec3(0, -0.1f, 0));
  doc.pin(foot, Vec3(-0.1f, 0, 0));
  const Vec3 footTarget = doc.figure().handles.back().handle->targetPos;
  const Vec3 handTarget = doc.figure().handles.front().handle->targetPos;
  preview(BodyPart::LeftArm, 1.0);
  const Handle& moved = *doc.figure().handles.front().handle;
  EXPECT_EQ(std::make_tuple(moved.targetPos.x, moved.targetPos.y, moved.targetPos.z),
            std::make_tuple(moved.worldPos.x, moved.worldPos.y, moved.worldPos.z));
  EXPECT_GT(length(moved.targetPos - handTarget), 0.05f);
  const Vec3 kept = doc.figure().handles.back().handle->targetPos;
  EXPECT_EQ(std::make_tuple(kept.x, kept.y, kept.z), std::make_tuple(footTarget.x, footTarget.y, footTarget.z));
  ASSERT_FALSE(doc.keepPreview("applied", false).refused);
  const std::vector<double> applied = doc.figure().dofs();
  doc.dragTo(nullptr, std::nullopt);
  doc.endDrag();
  const std::vector<double> solved = doc.figure().dofs();
  for (std::size_t i = 0; i < applied.size(); ++i) EXPECT_NEAR(solved[i], applied[i], 1e-6) << i;
}

// Previews never build on each other: each starts from the pose before
// them. That a preview is no step until kept is posing_test's.
TEST_F(Apply, PreviewsDoNotCompound) {
  preview(BodyPart::Legs, 1.0);
  const std::string whole = pose_text::write(doc.figure());
  preview(BodyPart::Legs, 0.5);
  preview(BodyPart::Legs, 0.5);
  const std::string half = pose_text::write(doc.figure());
  preview(BodyPart::Legs, 1.0);
  EXPECT_EQ(pose_text::write(doc.figure()), whole);
  preview(BodyPart::Legs, 0.5);
  EXPECT_EQ(pose_text::write(doc.figure()), half);
  doc.keepPreview("applied", false);
  doc.undo();
  preview(BodyPart::Legs, 0.5);
  EXPECT_EQ(pose_text::write(doc.figure()), half);
}

}  // namespace
