// The posing modes' verbs, without a display: mirror twins, turns, firm
// pins, a capture's frames and a new pose.
#include <gtest/gtest.h>

#include "document/PoseDocument.h"
#include "humanoid/Humanoid.h"
#include "ik/JointTurn.h"
#include "pose/PoseText.h"

namespace {

class Posing : public testing::Test {
 protected:
  const Segment* segment(const char* name) const { return doc.figure().findSegment(name); }
  const HandleEntry& entry(int place) const { return *std::next(doc.figure().handles.begin(), place); }
  std::string text() const { return pose_text::write(doc.figure()); }

  PoseDocument doc{buildHumanoid()};
};

void expectMirrorImages(const Vec3& a, const Vec3& b, double tolerance) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
  EXPECT_NEAR(a.z, -b.z, tolerance);
}

// The start pose stands upright at the origin, its left along +z: the
// mirror image of a point there is the point with z negated. A mirrored pin
// brings its twin in the same step; turning the thigh turns its partner as
// its mirror image; dragging one twin aims the other at the mirror image.
TEST_F(Posing, MirroredPinsComeInTwinsThatTurnsAndDragsMoveAsMirrorImages) {
  doc.setMirror(true);
  const std::size_t steps = doc.steps().undoCount();
  doc.pin(segment("h_hand_left"), Vec3(0.01f, -0.05f, 0.02f));
  ASSERT_EQ(doc.figure().handleCount(), 2);
  EXPECT_EQ(doc.steps().undoCount(), steps + 1) << "both pins are one step";
  EXPECT_EQ(entry(1).segment, segment("h_hand_right"));
  const Vec3 twinLocal = entry(1).handle->localPos;
  EXPECT_EQ(std::make_tuple(twinLocal.x, twinLocal.y, twinLocal.z), std::make_tuple(0.01f, -0.05f, -0.02f));

  doc.pin(segment("h_shin_left"), Vec3());
  const Vec3 knee = entry(2).handle->worldPos;
  doc.beginTurn(segment("h_thigh_left"));
  doc.turnBy(Vec3(1, 0, 0), 0.5);
  doc.turnBy(Vec3(0, 1, 0), 0.3);
  doc.endTurn(true);
  EXPECT_GT(length(entry(2).handle->worldPos - knee), 0.05f);
  expectMirrorImages(entry(2).handle->worldPos, entry(3).handle->worldPos, 1e-4);

  const Vec3 target = entry(0).handle->worldPos + Vec3(0.1f, 0.2f, 0.15f);
  const float twinFar = length(entry(1).handle->worldPos - Vec3(target.x, target.y, -target.z));
  doc.beginDrag();
  doc.dragTo(entry(0).handle, target);
  doc.endDrag();
  expectMirrorImages(entry(1).handle->targetPos, target, 1e-6);
  // In the same solve, the twin went halfway or more towards its target.
  EXPECT_LT(length(entry(1).handle->worldPos - entry(1).handle->targetPos), twinFar / 2);
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

// r over the head: the head turns about its own joint, nothing is pinned,
// and the turn is one step, or nothing once put back.
TEST_F(Posing, ATurnTurnsOneJointPinsNothingAndIsOneStepOrNothing) {
  doc.pin(segment("h_foot_left"), Vec3());
  const std::string before = text();
  const std::size_t steps = doc.steps().undoCount();
  const std::vector<double> start = doc.figure().dofs();
  for (bool keep : {false, true}) {
    doc.beginTurn(segment("h_head"));
    doc.turnBy(Vec3(0, 1, 0), 0.6);
    doc.turnBy(Vec3(1, 0, 0), 0.2);
    EXPECT_TRUE(doc.turning());
    EXPECT_EQ(doc.figure().handleCount(), 1);
    EXPECT_NE(text(), before);
    // Only the head's joint moved: the foot's pin held it all.
    const std::vector<double> now = doc.figure().dofs();
    const std::vector<unsigned char> head = JointTurn::dofsOf(doc.figure(), *segment("h_head"));
    for (std::size_t i = 0; i < now.size(); ++i) {
      if (!head[i]) {
        EXPECT_EQ(now[i], start[i]) << i;
      }
    }
    doc.endTurn(keep);
    EXPECT_EQ(doc.steps().undoCount(), steps + keep);
    EXPECT_EQ(text() == before, !keep);
  }
  doc.undo();
  EXPECT_EQ(text(), before);
}

// Both feet pinned and a hand dragged out of reach: firm pins hold the feet
// within a millimetre at every event; without them the feet give way.
TEST_F(Posing, FirmPinsHoldTheFeetWhileAHandIsDraggedOutOfReach) {
  for (bool firm : {false, true}) {
    PoseDocument posed(buildHumanoid());
    posed.setFirm(firm);
    for (const char* name : {"h_foot_left", "h_foot_right", "h_hand_left"})
      posed.pin(posed.figure().findSegment(name), Vec3());
    const Handle* hand = posed.figure().handles.back().handle;
    const Vec3 from = hand->worldPos;
    float drift = 0;
    posed.beginDrag();
    for (int i = 1; i <= 20; ++i) {
      posed.dragTo(hand, from + Vec3(0.05f * i, 0.04f * i, 0.03f * i));
      for (int feet = 0; feet < 2; ++feet) {
        const Handle* h = std::next(posed.figure().handles.begin(), feet)->handle;
        drift = std::max(drift, length(h->worldPos - h->targetPos));
      }
    }
    posed.endDrag();
    EXPECT_EQ(drift < 0.001f, firm) << drift;
    EXPECT_EQ(drift > 0.01f, !firm) << drift;
  }
}

// After Ctrl+N the pose is the start and untitled: a save asks for a name.
TEST_F(Posing, ANewPoseIsTheStartUntitledAndUndoable) {
  const std::string start = text();
  doc.pin(segment("h_head"), Vec3());
  const std::string pinned = text();
  EXPECT_EQ(doc.newPose().words, "new pose");
  EXPECT_EQ(std::make_tuple(text(), doc.path(), doc.modified()), std::make_tuple(start, std::string(), false));
  doc.undo();
  EXPECT_EQ(text(), pinned);
}

// A capture's frames preview as no step; the one chosen comes in as one
// step, untitled and modified, every handle gone; a file that is no capture
// is refused in one line.
TEST_F(Posing, ACapturesFramesPreviewUntilOneIsKept) {
  doc.pin(segment("h_head"), Vec3());
  const std::string path = MANNEQUIN_CAPTURES "/boxing-toes-cut.bvh";
  ASSERT_TRUE(PoseDocument::isMotion(path));
  const PoseDocument::CaptureOpening opening = doc.openCapture(path);
  ASSERT_TRUE(opening.capture) << opening.refusal.words;
  EXPECT_EQ(opening.capture->frames, 8);
  const std::size_t steps = doc.steps().undoCount();
  std::vector<std::string> frames;
  for (long frame : {1L, 8L}) {
    EXPECT_FALSE(doc.previewFrame(*opening.capture, frame).refused);
    frames.push_back(text());
  }
  EXPECT_NE(frames[0], frames[1]);
  EXPECT_EQ(doc.steps().undoCount(), steps);
  EXPECT_EQ(doc.keepPreview(PoseDocument::importedWords(path), true).words,
            "imported boxing-toes-cut.bvh, every handle removed");
  EXPECT_EQ(std::make_tuple(text(), doc.figure().handleCount(), doc.path(), doc.modified()),
            std::make_tuple(frames[1], 0, std::string(), true));
  EXPECT_EQ(doc.steps().undoCount(), steps + 1);
  const std::string notes = MANNEQUIN_CAPTURES "/NOTICE";
  EXPECT_FALSE(PoseDocument::isMotion(notes));
  EXPECT_EQ(doc.openCapture(notes).refusal.words, "open: " + notes + ": not a BVH file");
}

}  // namespace
