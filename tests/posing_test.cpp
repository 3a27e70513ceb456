// The posing modes' verbs, without a display: mirror twins and a new pose.
#include <gtest/gtest.h>

#include "document/PoseDocument.h"
#include "humanoid/Humanoid.h"
#include "pose/PoseText.h"

namespace {

class Posing : public testing::Test {
 protected:
  const Segment* segment(const char* name) const { return doc.figure().findSegment(name); }
  const HandleEntry& entry(int place) const { return *std::next(doc.figure().handles.begin(), place); }
  std::string text() const { return pose_text::write(doc.figure()); }

  PoseDocument doc{buildHumanoid()};
};

// The start pose stands upright at the origin, its left along +z: the
// mirror image of a point there is the point with z negated.
TEST_F(Posing, AMirroredPinBringsItsTwinAndADragMovesItToTheMirrorImage) {
  doc.setMirror(true);
  const std::size_t steps = doc.steps().undoCount();
  doc.pin(segment("h_hand_left"), Vec3(0.01f, -0.05f, 0.02f));
  ASSERT_EQ(doc.figure().handleCount(), 2);
  EXPECT_EQ(doc.steps().undoCount(), steps + 1) << "both pins are one step";
  EXPECT_EQ(entry(1).segment, segment("h_hand_right"));
  const Vec3 twinLocal = entry(1).handle->localPos;
  EXPECT_EQ(std::make_tuple(twinLocal.x, twinLocal.y, twinLocal.z), std::make_tuple(0.01f, -0.05f, -0.02f));

  const Vec3 target = entry(0).handle->worldPos + Vec3(0.1f, 0.2f, 0.15f);
  const float twinFar = length(entry(1).handle->worldPos - Vec3(target.x, target.y, -target.z));
  doc.beginDrag();
  doc.dragTo(entry(0).handle, target);
  doc.endDrag();
  const Vec3 twinTarget = entry(1).handle->targetPos;
  EXPECT_NEAR(twinTarget.x, target.x, 1e-6);
  EXPECT_NEAR(twinTarget.y, target.y, 1e-6);
  EXPECT_NEAR(twinTarget.z, -target.z, 1e-6);
  // In the same solve, the twin went halfway or more towards its target.
  EXPECT_LT(length(entry(1).handle->worldPos - twinTarget), twinFar / 2);
}

TEST_F(Posing, OnTheMidlineOnePinAndARemovalTakesBothTwinsThroughUndoAndRedo) {
  doc.setMirror(true);
  doc.pin(segment("h_head"), Vec3());
  EXPECT_EQ(doc.figure().handleCount(), 1);
  doc.pin(segment("h_thigh_right"), Vec3(0, -0.1f, 0.02f));
  doc.setMirror(false);
  doc.pin(segment("h_foot_left"), Vec3());
  ASSERT_EQ(doc.figure().handleCount(), 4);
  const std::string before = text();
  // Mirror mode is off now: the twins keep their link all the same.
  doc.unpin(entry(2).handle);
  EXPECT_EQ(doc.figure().handleCount(), 2);
  EXPECT_EQ(entry(1).segment, segment("h_foot_left"));
  doc.undo();
  EXPECT_EQ(text(), before);
  doc.redo();
  doc.undo();
  // A handle pinned without mirror mode goes alone; the pair, brought back by undo, together.
  doc.unpin(entry(3).handle);
  EXPECT_EQ(doc.figure().handleCount(), 3);
  doc.unpin(entry(1).handle);
  EXPECT_EQ(doc.figure().handleCount(), 1);
}

// After Ctrl+N the pose is the start and untitled: a save asks for a name.
TEST_F(Posing, ANewPoseIsTheStartUntitledAndUndoable) {
  const std::string start = text();
  doc.pin(segment("h_head"), Vec3());
  const std::string pinned = text();
  EXPECT_EQ(doc.newPose().words, "new pose");
  EXPECT_EQ(text(), start);
  EXPECT_EQ(doc.path(), "");
  EXPECT_FALSE(doc.modified());
  doc.undo();
  EXPECT_EQ(text(), pinned);
}

// A preview is no step and no change the recovery copy hears of: dropped,
// the figure is as it was bit for bit; kept, it is one step.
TEST_F(Posing, APreviewIsNoStepUntilKept) {
  int changes = 0;
  doc.onChange([&](const PoseDocument&) { ++changes; });
  doc.pin(segment("h_head"), Vec3());
  const std::string pinned = text();
  const std::size_t steps = doc.steps().undoCount();
  Pose bent = currentPose(doc.figure());
  bent.params[0][0] += 0.3;  // the root along x
  bent.pins.clear();
  changes = 0;
  doc.preview(bent);
  doc.preview(bent);
  EXPECT_EQ(doc.figure().handleCount(), 0);
  EXPECT_NE(text(), pinned);
  doc.dropPreview();
  EXPECT_EQ(text(), pinned);
  EXPECT_EQ(std::make_pair(doc.steps().undoCount(), changes), std::make_pair(steps, 0));
  doc.preview(bent);
  EXPECT_EQ(doc.keepPreview("imported", true).words, "imported");
  EXPECT_EQ(std::make_pair(doc.steps().undoCount(), changes), std::make_pair(steps + 1, 1));
  EXPECT_EQ(doc.path(), "");
  doc.undo();
  EXPECT_EQ(text(), pinned);
}

}  // namespace
