// The document's verbs, without a display: steps, the file in play and its
// saved state, what each verb says, and the posing modes' verbs: mirror
// twins, turns, firm pins, a capture's frames and a new pose.
#include <gtest/gtest.h>

#include "document/PoseDocument.h"
#include "humanoid/Humanoid.h"
#include "ik/JointTurn.h"
#include "picture_with_text.h"
#include "pose/PoseText.h"
#include "temp_folder.h"

namespace {

class Document : public testing::Test, protected TempFolder {
 protected:
  // A new handle on the segment's origin: a step that changes the pose.
  void edit() { EXPECT_TRUE(doc.pin(segment("h_head"), Vec3()).words.empty()); }
  const Segment* segment(const char* name) const { return doc.figure().findSegment(name); }
  const HandleEntry& entry(int place) const { return *std::next(doc.figure().handles.begin(), place); }
  // How far the handle in that place is from its target.
  float gap(int place) const {
    const Handle& h = *entry(place).handle;
    return length(h.worldPos - h.targetPos);
  }
  std::string text() const { return pose_text::write(doc.figure()); }
  // The file in play, and whether the pose is modified since it was opened or saved.
  void expectFile(const std::string& path, bool modified) {
    EXPECT_EQ(std::make_pair(doc.path(), doc.modified()), std::make_pair(path, modified));
  }
  // A pose file as another session saved it: the start pose with n handles.
  std::string posed(const std::string& name, int handles) {
    PoseDocument other(buildHumanoid());
    for (int i = 0; i < handles; ++i) other.pin(other.figure().findSegment("h_hand_left"), Vec3(0, -0.1f * i, 0));
    EXPECT_FALSE(other.saveTo(pathOf(name)).refused);
    return pathOf(name);
  }

  PoseDocument doc{buildHumanoid()};
};

TEST_F(Document, AnEditMakesTheStartModifiedAndUndoTakesItBack) {
  EXPECT_FALSE(doc.modified());
  EXPECT_EQ(doc.undo().words, "nothing to undo");
  edit();
  expectFile("", true);
  // A successful undo or redo leaves no earlier words in the title.
  EXPECT_EQ(doc.undo().words, "");
  EXPECT_FALSE(doc.modified());
  EXPECT_EQ(doc.redo().words, "");
  EXPECT_TRUE(doc.modified());
  EXPECT_EQ(doc.redo().words, "nothing to redo");
  // A new step after an undo drops those that could have been redone, and
  // only those.
  const std::string one = text();
  edit();
  edit();
  doc.undo();
  doc.undo();
  edit();
  EXPECT_EQ(doc.redo().words, "nothing to redo");
  doc.undo();
  EXPECT_EQ(text(), one);
}

// Open a, change it, open b, undo: a's pose with a's file, still modified; a
// save writes a, and b keeps its bytes.
TEST_F(Document, UndoingAnOpenBringsBackTheEarlierFileAndNeverWritesIntoTheLater) {
  const std::string a = posed("a.pose", 1), b = posed("b.pose", 2);
  const std::string bBytes = contents(b);
  EXPECT_EQ(doc.open(a).words, "opened a.pose");
  EXPECT_FALSE(doc.modified());
  edit();
  const std::string edited = text();
  EXPECT_EQ(doc.open(b).words, "opened b.pose");
  expectFile(b, false);
  doc.undo();
  expectFile(a, true);
  EXPECT_EQ(text(), edited);
  EXPECT_EQ(doc.saveTo(doc.path()).words, "saved a.pose");
  EXPECT_EQ(contents(a), edited);
  EXPECT_EQ(contents(b), bBytes);
  // Redo brings the opened file back, as it was opened.
  doc.redo();
  expectFile(b, false);
  EXPECT_EQ(text(), bBytes);
  // Undoing past the first open: untitled, unchanged since the start.
  for (int i = 0; i < 3; ++i) doc.undo();
  expectFile("", false);
}

// A save names the file of every state since the last open, later ones too,
// and marks the state it wrote as the file's.
TEST_F(Document, ASaveNamesTheFileOfEveryStepUntilAnotherOpen) {
  edit();
  edit();
  doc.undo();
  EXPECT_EQ(doc.saveTo(pathOf("c.pose")).words, "saved c.pose");
  EXPECT_FALSE(doc.modified());
  doc.redo();
  expectFile(pathOf("c.pose"), true);
  doc.undo();
  doc.undo();
  expectFile(pathOf("c.pose"), true);
  // A reset is a step in the same file; a new pose (Ctrl+N) is the start
  // untitled, and undo brings back the file.
  const std::string start = (doc.reset(), text());
  EXPECT_EQ(doc.path(), pathOf("c.pose"));
  EXPECT_EQ(doc.figure().handleCount(), 0);
  edit();
  edit();
  EXPECT_EQ(doc.newPose().words, "new pose");
  EXPECT_EQ(text(), start);
  expectFile("", false);
  doc.undo();
  expectFile(pathOf("c.pose"), true);
  EXPECT_EQ(doc.figure().handleCount(), 2);
  // Again on the untitled start pose: nothing changes, and no step is made.
  doc.redo();
  EXPECT_EQ(doc.newPose().words, "new pose");
  doc.undo();
  expectFile(pathOf("c.pose"), true);
}

// A failed save keeps the mark, the file and the old bytes. Another
// program's save since this one's open or save shows, until this one saves
// again; a file gone is no change to ask about.
TEST_F(Document, AFailedSaveKeepsWhatItFoundAndAChangeOnDiskShowsUntilTheNextSave) {
  const std::string a = posed("a.pose", 1);
  doc.open(a);
  edit();
  const Outcome gone = doc.saveTo(pathOf("gone/x.pose"));
  EXPECT_TRUE(gone.refused);
  EXPECT_EQ(gone.words.rfind("save: " + pathOf("gone/x.pose") + ": cannot write in its folder", 0), 0u);
  expectFile(a, true);
  EXPECT_EQ(entries(), (std::set<std::string>{"a.pose"}));
  EXPECT_FALSE(doc.changedOnDisk());
  posed("a.pose", 2);
  EXPECT_TRUE(doc.changedOnDisk());
  doc.saveTo(a);
  EXPECT_FALSE(doc.changedOnDisk());
  std::filesystem::remove(a);
  EXPECT_FALSE(doc.changedOnDisk());
}

// All or nothing, and no step, for a refused paste; an accepted paste that
// changes nothing is no step either, one that changes the pose is one.
TEST_F(Document, RefusalsAndPastesThatChangeNothingMakeNoStep) {
  edit();
  const std::string before = text();
  // The size decides before the text: at the limit it is read, past it not.
  EXPECT_EQ(doc.paste(before, pose_text::kSizeLimit + 1, false).words, "paste: " + pose_text::sizeRefusal(65537));
  EXPECT_EQ(doc.paste(before, pose_text::kSizeLimit, false).words, "pasted");
  const std::size_t steps = doc.steps().undoCount();
  EXPECT_EQ(doc.paste(before, before.size(), false).words, "pasted");
  EXPECT_EQ(doc.paste("mannequin pose 3\n", 17, true).words.rfind("paste mirrored: line 1: ", 0), 0u);
  EXPECT_EQ(text(), before);
  EXPECT_EQ(doc.path(), "");
  EXPECT_EQ(doc.steps().undoCount(), steps);
  doc.reset();
  EXPECT_EQ(doc.paste(before, before.size(), false).words, "pasted");
  EXPECT_EQ(doc.steps().undoCount(), steps + 2);
  doc.undo();
  EXPECT_EQ(doc.figure().handleCount(), 0);
  doc.undo();
  EXPECT_EQ(text(), before);
  // The start pose's own text, pasted, and a reset change nothing either,
  // whatever the limits switch says.
  PoseDocument fresh(buildHumanoid());
  std::string start;
  fresh.copy(start);
  for (SolverSetting limits : {SolverSetting::LimitsOff, SolverSetting::LimitsOn})
    fresh.apply(limits), fresh.paste(start, start.size(), false), fresh.reset();
  EXPECT_EQ(fresh.steps().undoCount(), 0u);
  EXPECT_FALSE(fresh.modified());
}

// A drag is one step once it ends, recorded before the next edit; a removal
// and the relaxing towards the other targets, limits applied, are one.
TEST_F(Document, ADragAndARemovalAreOneStepEach) {
  auto bentFigure = buildHumanoid();
  std::vector<double> bent = bentFigure->dofs();
  bent[11] = 2.5;  // the left knee, beyond its limit of 1.57
  bentFigure->setDofs(bent);
  const std::string bentText = pose_text::write(*bentFigure);
  doc.paste(bentText, bentText.size(), false);
  doc.apply(SolverSetting::LimitsOn);
  doc.apply(SolverSetting::Tolerance4);
  const Figure& f = doc.figure();
  doc.pin(f.findSegment("h_forearm_left"), Vec3());
  const Handle* kept = f.handles.back().handle;
  const std::size_t before = doc.steps().undoCount();
  doc.beginDrag();
  doc.dragTo(kept, kept->worldPos + Vec3(0, 0.05f, 0.05f));
  EXPECT_EQ(doc.steps().undoCount(), before) << "a drag is a step once it ends";
  EXPECT_TRUE(doc.modified());
  edit();
  EXPECT_EQ(doc.steps().undoCount(), before + 2) << "the drag, then the pin";
  const std::string pinned = text();
  EXPECT_EQ(doc.unpin(f.handles.back().handle).words, "");
  EXPECT_EQ(std::make_pair(f.handleCount(), doc.steps().undoCount()), std::make_pair(1, before + 3));
  EXPECT_EQ(f.dofs()[11], 1.57);
  EXPECT_LT(length(kept->targetPos - kept->worldPos), 0.035f);
  doc.undo();
  EXPECT_EQ(text(), pinned);
}

TEST_F(Document, SuggestedNamesFollowTheFileInPlay) {
  EXPECT_EQ(doc.suggestedPoseName(), "pose.pose");
  EXPECT_EQ(doc.suggestedPictureName(), "mannequin.png");
  std::filesystem::create_directory(pathOf("v1.2"));
  for (const char* name : {"v1.2/run.pose", "v1.2/run", "v1.2/.run.pose"}) {
    ASSERT_FALSE(doc.saveTo(pathOf(name)).refused) << name;
    EXPECT_EQ(doc.suggestedPoseName(), pathOf(name));
  }
  // The name's extension replaced, never a folder's.
  EXPECT_EQ(doc.suggestedPictureName(), pathOf("v1.2/.run.png"));
  doc.saveTo(pathOf("v1.2/run"));
  EXPECT_EQ(doc.suggestedPictureName(), pathOf("v1.2/run.png"));
}

TEST_F(Document, APictureIsWrittenOrRefused) {
  EXPECT_EQ(doc.exportPicture(pathOf("shot.png"), "png bytes").words, "exported shot.png");
  EXPECT_EQ(contents(pathOf("shot.png")), "png bytes");
  EXPECT_EQ(doc.exportPicture(pathOf("none.png"), "").words, "export: " + pathOf("none.png") + ": nothing to draw yet");
  // Never over the pose's own file, which would then hold no pose.
  const std::string a = posed("a.pose", 1);
  doc.open(a);
  const std::string bytes = contents(a);
  EXPECT_EQ(doc.exportPicture(a, "png bytes").words, "export: " + a + ": it is the pose's own file");
  EXPECT_EQ(doc.exportBvh(a).words, "export: " + a + ": it is the pose's own file");
  EXPECT_EQ(contents(a), bytes);
  // Nor over another pose file, whose camera and pictures it would lose.
  const std::string b = posed("b.Pose", 0), before = contents(b);
  EXPECT_EQ(doc.exportPicture(b, "png bytes").words,
            "export: " + b + ": a picture is not written as a pose or BVH file");
  EXPECT_EQ(contents(b), before);
}

// No pin makes a pose its file cannot hold: 1,000 handles at most.
TEST_F(Document, APinBeyondTheHandleLimitIsRefused) {
  std::string many = text();
  for (int i = 1; i < 1000; ++i) many += "handle h_head 0 0 0 0 1 0\n";
  ASSERT_EQ(doc.paste(many, many.size(), false).words, "pasted");
  edit();
  EXPECT_EQ(doc.figure().handleCount(), 1000);
  EXPECT_EQ(doc.pin(doc.figure().findSegment("h_head"), Vec3()).words, "not pinned: a pose holds at most 1000 handles");
  EXPECT_EQ(doc.figure().handleCount(), 1000);
}

// A BVH file's or a picture's pose comes in as one untitled step, with no
// handles from a BVH file; a save then asks for a name rather than write
// text into it. Undo brings back the file and the handles it replaced.
TEST_F(Document, AnImportIsOneUntitledStepThatUndoTakesBack) {
  const std::string a = posed("a.pose", 2);
  doc.open(a);
  const std::string before = text();
  EXPECT_EQ(doc.exportBvh(pathOf("a.bvh")).words, "exported a.bvh");
  auto other = buildHumanoid();
  std::vector<double> bent = other->dofs();
  bent[11] = 0.7071;  // the left knee
  other->setDofs(bent);
  Handle handle(0, -0.1f, 0.03f);
  other->addHandle(&handle, other->findSegment("h_hand_left"));
  other->updateHandlePositions();
  handle.targetPos = handle.worldPos;
  const std::string pictured = pose_text::write(*other);
  other->removeHandle(&handle);
  put(pathOf("shot.png"), pictureWithText(pictured));
  EXPECT_EQ(doc.open(pathOf("shot.png")).words, "imported shot.png");
  EXPECT_EQ(std::make_pair(text(), doc.figure().dofs()), std::make_pair(pictured, bent));
  expectFile("", true);
  EXPECT_EQ(doc.open(pathOf("a.bvh")).words, "imported a.bvh, every handle removed");
  EXPECT_EQ(doc.figure().handleCount(), 0);
  expectFile("", true);
  // a.pose holds the start pose.
  const std::vector<double> want = buildHumanoid()->dofs(), got = doc.figure().dofs();
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(std::abs(got[i]), std::abs(want[i]), 1e-9) << i;
  doc.undo();
  doc.undo();
  expectFile(a, false);
  EXPECT_EQ(text(), before);
}

// A file that holds no whole pose changes nothing and makes no step: the
// line at fault in a pose file, the reason in a picture or a BVH file.
TEST_F(Document, ARefusedOpenChangesNothing) {
  doc.open(posed("a.pose", 1));
  edit();
  const std::string before = text();
  const std::size_t steps = doc.steps().undoCount();
  const std::string version = "line 1: unknown version \"2\" of the pose format (this program reads 1)";
  const std::tuple<const char*, std::string, std::string> refused[] = {
      // 22 lines of the start, 2 handles', then the unknown one's.
      {"bad.pose", before + "handle h_tail 0 0 0 0 0 0\n", "line 25: handle on unknown segment \"h_tail\""},
      {"bad.png", pictureWithText(before, "Comment"), "the picture holds no pose"},
      {"bad.png", pictureWithText("mannequin pose 2\n"), version},
      {"bad.bvh", "HIERARCHY\nROOT Hips\n", "line 3: the file ends before its frames"}};
  for (const auto& [name, bytes, why] : refused) {
    put(pathOf(name), bytes);
    const Outcome outcome = doc.open(pathOf(name));
    EXPECT_TRUE(outcome.refused);
    EXPECT_EQ(outcome.words, "open: " + pathOf(name) + ": " + why);
    EXPECT_EQ(std::make_tuple(text(), doc.path(), doc.steps().undoCount()),
              std::make_tuple(before, pathOf("a.pose"), steps));
  }
}

// A pose gone beyond what a file holds, as a runaway solve leaves it, is
// neither saved over the good file nor copied; a pose at the limit is.
TEST_F(Document, APoseThatWouldNotOpenAgainIsNeitherSavedNorCopied) {
  const std::string a = posed("a.pose", 1), good = (doc.open(a), contents(a));
  std::vector<double> dofs = doc.figure().dofs();
  for (const auto& [x, written] : {std::make_pair(-0x1p120, "-1.329227995784916e+36"),
                                   std::make_pair(1000000.5, "1000000.5"), std::make_pair(-1e6, "")}) {
    // Set as no solve of the document's own can: it keeps to the range.
    const_cast<Figure&>(doc.figure()).setDofs((dofs[0] = x, dofs));
    doc.beginDrag(), doc.endDrag();
    std::string copied = "before";
    const std::string line = std::string("line 2: \"") + written + "\" is not a finite number of magnitude at most 1000000";
    EXPECT_EQ(doc.copy(copied).words, *written ? "copy: the pose would not paste again: " + line : "copied");
    EXPECT_EQ(doc.saveTo(a).words, *written ? "save: " + a + ": the pose would not open again: " + line : "saved a.pose");
    EXPECT_EQ(std::make_tuple(contents(a), entries().size(), doc.modified()),
              std::make_tuple(*written ? good : copied, 1u, *written != 0));
  }
}

using Posing = Document;

void expectMirrorImages(const Vec3& a, const Vec3& b, double tolerance) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
  EXPECT_NEAR(a.z, -b.z, tolerance);
}

// The start pose stands upright at the origin, its left along +z: the
// mirror image of a point there is the point with z negated. A mirrored pin
// brings its twin in the same step; turning the thigh turns its partner as
// its mirror image; dragging one twin pulls the other to the mirror image
// as hard.
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

  // The twin pinned second drags the first.
  const Vec3 target = entry(1).handle->worldPos + Vec3(0.1f, 0.2f, -0.15f);
  const float twinFar = length(entry(0).handle->worldPos - Vec3(target.x, target.y, -target.z));
  doc.beginDrag();
  doc.dragTo(entry(1).handle, target);
  doc.endDrag();
  expectMirrorImages(entry(0).handle->targetPos, target, 1e-6);
  // In the same event, the twin went halfway or more towards its target.
  EXPECT_LT(length(entry(0).handle->worldPos - entry(0).handle->targetPos), twinFar / 2);

  // Raised half a metre over 20 events, out of reach at this tolerance:
  // the twin lags its target by no more than the dragged one lags the
  // pointer, give or take 2 cm.
  const Vec3 start = entry(0).handle->worldPos;
  doc.beginDrag();
  for (int i = 1; i <= 20; ++i) doc.dragTo(entry(0).handle, start + Vec3(0.0f, 0.025f * i, 0.0f));
  doc.endDrag();
  const float lag = length(entry(0).handle->worldPos - entry(0).handle->targetPos);
  EXPECT_GT(lag, 0.02f);
  EXPECT_LT(length(entry(1).handle->worldPos - entry(1).handle->targetPos), lag + 0.02f);
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
  // Mirror mode is off now: a drag moves one target, but a removal takes
  // both twins, whose link stays all the same.
  const Vec3 twinTarget = entry(2).handle->targetPos;
  doc.dragTo(entry(1).handle, entry(1).handle->worldPos + Vec3(0, 0.1f, 0));
  doc.endDrag();
  EXPECT_EQ(length(entry(2).handle->targetPos - twinTarget), 0.0f);
  doc.undo();
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
  for (const char* name : {"h_foot_left", "h_foot_right", "h_hand_left"}) doc.pin(segment(name), Vec3());
  for (bool firm : {false, true}) {
    doc.setFirm(firm);
    const Vec3 from = entry(2).handle->worldPos;
    float drift = 0;
    doc.beginDrag();
    for (int i = 1; i <= 20; ++i) {
      doc.dragTo(entry(2).handle, from + Vec3(0.05f * i, 0.04f * i, 0.03f * i));
      drift = std::max({drift, gap(0), gap(1)});
    }
    doc.endDrag();
    doc.undo();
    EXPECT_EQ(drift < 0.001f, firm) << drift;
    EXPECT_EQ(drift > 0.01f, !firm) << drift;
  }
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
