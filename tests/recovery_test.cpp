// Recovery copies: kept while the pose is modified, left by a crash, brought
// back at the next start by the copy's own file, never while their program
// runs.
#include <gtest/gtest.h>

#include "document/PoseDocument.h"
#include "document/RecoveryCopy.h"
#include "humanoid/Humanoid.h"
#include "pose/PoseText.h"
#include "temp_folder.h"

namespace {

// A program's document and its copy, as the program wires them.
struct Session {
  explicit Session(const std::string& folder) : copy(folder) {
    doc.onChange([this](const PoseDocument& changed) { copy.keep(changed); });
  }
  void edit() { doc.pin(doc.figure().findSegment("h_head"), Vec3(0, 0.05f * ++pins, 0)); }
  std::string text() const { return pose_text::write(doc.figure()); }

  PoseDocument doc{buildHumanoid()};
  RecoveryCopy copy;
  int pins = 0;
};

class Recovery : public testing::Test, protected TempFolder {};

TEST_F(Recovery, AClearedOrCleanlyEndedPoseLeavesNoCopy) {
  {
    Session s(path);
    s.edit();
    EXPECT_EQ(entries().size(), 2u);
    s.doc.undo();
    EXPECT_EQ(entries().size(), 1u) << "only the lock while unmodified";
    s.edit();
    EXPECT_FALSE(s.doc.saveTo(pathOf("a.pose")).refused);
    EXPECT_EQ(entries().size(), 2u) << "the lock and a.pose";
    s.edit();
  }
  EXPECT_EQ(entries(), (std::set<std::string>{"a.pose"}));
}

TEST_F(Recovery, ACrashedPoseComesBackModifiedWithItsFileAndItsSteps) {
  std::string crashed;
  {
    Session s(path);
    s.edit();
    s.doc.saveTo(pathOf("a.pose"));
    s.edit();
    crashed = s.text();
    // A running program's copy is its own.
    Session other(path);
    EXPECT_EQ(other.copy.recoverInto(other.doc, std::nullopt).words, "");
    s.copy.abandon();
  }
  Session elsewhere(path);
  EXPECT_EQ(elsewhere.copy.recoverInto(elsewhere.doc, pathOf("b.pose")).words, "") << "another file's";
  Session back(path);
  EXPECT_EQ(back.copy.recoverInto(back.doc, pathOf("a.pose")).words, "recovered a.pose");
  EXPECT_EQ(back.text(), crashed);
  EXPECT_TRUE(back.doc.modified());
  back.doc.undo();
  EXPECT_FALSE(back.doc.modified()) << "the file's saved pose";
  back.doc.undo();
  EXPECT_EQ(back.doc.figure().handleCount(), 0);
  EXPECT_EQ(back.doc.path(), "");
}

TEST_F(Recovery, WithoutAFileTheNewestOrphanComesBack) {
  for (int handles : {1, 2}) {
    Session s(path);
    for (int i = 0; i < handles; ++i) s.edit();
    s.copy.abandon();
  }
  Session back(path);
  EXPECT_EQ(back.copy.recoverInto(back.doc, std::nullopt).words, "recovered untitled");
  EXPECT_EQ(back.doc.figure().handleCount(), 2);
}

}  // namespace
