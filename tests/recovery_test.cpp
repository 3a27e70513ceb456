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

// A copy records its file whole: a start in another folder with a file of
// the same name does not take it, and its own file, since changed, is asked
// about before a save replaces it.
TEST_F(Recovery, ACopyBelongsToItsFileWhereverTheNextStartIs) {
  const std::filesystem::path was = std::filesystem::current_path();
  for (const char* folder : {"x", "y"}) std::filesystem::create_directory(pathOf(folder));
  {
    std::filesystem::current_path(pathOf("x"));
    Session s(pathOf("state"));
    s.edit();
    s.doc.saveTo("a.pose");
    s.edit();
    EXPECT_EQ(s.doc.path(), pathOf("x/a.pose"));
    s.copy.abandon();
  }
  std::filesystem::current_path(pathOf("y"));
  Session elsewhere(pathOf("state"));
  EXPECT_EQ(elsewhere.copy.recoverInto(elsewhere.doc, "a.pose").words, "");
  std::filesystem::current_path(was);
  put(pathOf("x/a.pose"), "not a pose any more");
  Session back(pathOf("state"));
  EXPECT_EQ(back.copy.recoverInto(back.doc, pathOf("x/a.pose")).words, "recovered a.pose");
  EXPECT_TRUE(back.doc.changedOnDisk());
}

// A copy that no longer reads as a pose is set aside, not deleted, and the
// program's next copy is found after it.
TEST_F(Recovery, ARefusedCopyIsKeptAsideAndTheNextCopyFound) {
  {
    Session s(path);
    s.edit();
    s.copy.abandon();
  }
  for (const std::string& entry : entries()) {
    if (entry.size() > 5 && entry.substr(entry.size() - 5) == ".pose") put(pathOf(entry), "# mannequin recovery copy of: \nno pose\n");
  }
  {
    Session s(path);
    EXPECT_TRUE(s.copy.recoverInto(s.doc, std::nullopt).refused);
    s.edit();
    s.copy.abandon();
  }
  Session back(path);
  EXPECT_EQ(back.copy.recoverInto(back.doc, std::nullopt).words, "recovered untitled");
  int refused = 0;
  for (const std::string& entry : entries()) refused += entry.find(".refused") != std::string::npos;
  EXPECT_EQ(refused, 1);
}

}  // namespace
