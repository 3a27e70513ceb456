// Recovery copies: kept while the pose is modified, left by a crash, brought
// back at the next start by the copy's own file, never while their program
// runs.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "document/PoseDocument.h"
#include "document/RecoveryCopy.h"
#include "humanoid/Humanoid.h"
#include "pose/PoseText.h"
#include "temp_folder.h"

namespace {

// A program's document and its copy, as the program wires them; what the
// copy reports is kept in said.
struct Session {
  explicit Session(const std::string& folder, pose_file::Calls calls = {}) : copy(folder, std::move(calls)) {
    doc.onChange([this](const PoseDocument& changed) { copy.keep(changed); });
    copy.onReport([this](const Outcome& outcome) { said.push_back(outcome.words); });
  }
  void edit() { doc.pin(doc.figure().findSegment("h_head"), Vec3(0, 0.05f * ++pins, 0)); }
  std::string text() const { return pose_text::write(doc.figure()); }
  // As a solve that ran away would leave the pose, set as no solve of the
  // document's own can: it keeps to the range.
  void runAway() {
    std::vector<double> dofs = doc.figure().dofs();
    const_cast<Figure&>(doc.figure()).setDofs((dofs[0] = -0x1p120, dofs));
    doc.beginDrag(), doc.endDrag();
  }

  PoseDocument doc{buildHumanoid()};
  RecoveryCopy copy;
  int pins = 0;
  std::vector<std::string> said;
};

using Lines = std::vector<std::string>;

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

// The camera comes back with the pose.
TEST_F(Recovery, ACrashedPoseComesBackModifiedWithItsFileItsStepsAndItsCamera) {
  std::string crashed;
  ViewState camera;
  camera.pitch = 0.5f, camera.fieldOfView = 30;
  {
    Session s(path);
    s.edit();
    s.doc.saveTo(pathOf("a.pose"));
    s.doc.keepViewState(camera);
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
  EXPECT_FALSE(back.doc.changedOnDisk());
  ASSERT_TRUE(back.doc.viewState());
  EXPECT_TRUE(*back.doc.viewState() == camera);
  back.doc.undo();
  EXPECT_FALSE(back.doc.modified()) << "the file's saved pose";
  back.doc.undo();
  EXPECT_EQ(back.doc.figure().handleCount(), 0);
  EXPECT_EQ(back.doc.path(), "");
}

// A copy records its file whole: a start in another folder with a file of
// the same name does not take it, and its own file, since changed by
// another program (even one that put the mtime back), is asked about before
// a save replaces it.
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
  ASSERT_TRUE(overwriteKeepingMtime(pathOf("x/a.pose"), contents(pathOf("x/a.pose"))));
  Session back(pathOf("state"));
  EXPECT_EQ(back.copy.recoverInto(back.doc, pathOf("x/a.pose")).words, "recovered a.pose");
  EXPECT_TRUE(back.doc.changedOnDisk());
}

// A copy that is a pipe, a link to a device, huge (sparse), garbled, without
// its lock or with a lock that is a link is neither waited on nor read
// whole: each is set aside and said once, with its path. Without a file the
// newest good copy among them comes back.
TEST_F(Recovery, CopiesThatCannotBeReadAreSetAsideAndSaidOnce) {
  for (int handles : {1, 2}) {
    Session s(path);
    for (int i = 0; i < handles; ++i) s.edit();
    s.copy.abandon();
  }
  put(pathOf("copy-link.pose"), contents(pathOf(*entries().rbegin())));
  put(pathOf("copy-name.pose"), "# mannequin recovery copy of: 2f7\nmannequin pose 1\n");
  put(pathOf("copy-old.pose"), "# mannequin recovery copy of: \nno pose\n");
  for (const char* lock : {"copy-fifo", "copy-zero", "copy-huge", "copy-name"}) put(pathOf(lock) + ".lock", "");
  ASSERT_FALSE(mkfifo(pathOf("copy-fifo.pose").c_str(), 0600) || symlink("/dev/zero", pathOf("copy-zero.pose").c_str()) ||
               symlink("/dev/null", pathOf("copy-link.lock").c_str()) ||
               truncate((put(pathOf("copy-huge.pose"), ""), pathOf("copy-huge.pose")).c_str(), 4LL << 30));
  Session back(path);
  EXPECT_EQ(back.copy.recoverInto(back.doc, std::nullopt).words, "recovered untitled");
  EXPECT_EQ(back.doc.figure().handleCount(), 2);
  const auto aside = [&](const char* stem, const std::string& why) {
    return "recovery copy set aside as " + pathOf(stem) + ".refused: " + why;
  };
  EXPECT_EQ(back.said, (Lines{aside("copy-fifo", "it is not a regular file"),
                              aside("copy-huge", "it is 4294967296 bytes, more than the 81920 it may have"),
                              aside("copy-link", "its lock is not a regular file"),
                              aside("copy-name", "the name of its file is garbled"),
                              aside("copy-old", pose_text::read(back.doc.figure(), "no pose\n").error),
                              aside("copy-zero", "it is a symbolic link")}));
  Session again(path);
  again.copy.recoverInto(again.doc, std::nullopt);
  EXPECT_EQ(again.said, Lines{});
  EXPECT_EQ(entries().size(), 10u) << "six set aside, the older orphan, the recovered copy and their locks";
}

// A regular file where the folder should be, or above it, or a folder above
// it that cannot be made: said once, not again while no copy can be
// written, and the file keeps its mode.
TEST_F(Recovery, AFolderThatCannotHoldCopiesIsSaidOnceAndLeftAsItIs) {
  put(pathOf("file"), "mine");
  chmod(pathOf("file").c_str(), 0640);
  // A folder above it that the system will not make: said by its own reason.
  const std::string above = "/sys/mannequin-recovery-test";
  ASSERT_NE(::mkdir(above.c_str(), 0700), 0);
  const std::string whyNotAbove = std::strerror(errno);
  for (const auto& [folder, why] : {std::make_pair(pathOf("file"), std::string("it is not a folder")),
                                    std::make_pair(pathOf("file/state"), std::string(std::strerror(ENOTDIR))),
                                    std::make_pair(above + "/state", whyNotAbove)}) {
    Session s(folder);
    s.copy.recoverInto(s.doc, std::nullopt);
    s.edit(), s.edit();
    EXPECT_EQ(s.said, Lines{"recovery copies cannot be kept in " + folder + ": " + why});
  }
  struct stat st {};
  stat(pathOf("file").c_str(), &st);
  EXPECT_EQ(std::make_pair(st.st_mode & 07777, contents(pathOf("file"))), std::make_pair(0640u, std::string("mine")));
}

// A full disk, or a pose the program would refuse to read back: the copy
// stays at the last good step and that is said, once until a copy is
// written again; each step tries again.
TEST_F(Recovery, ACopyNotWrittenIsSaidAndTheLastGoodOneKept) {
  std::string kept;
  {
    int error = ENOSPC;
    Session s(path, [&](std::string_view call, int, const std::function<long()>& make) {
      return call == "write" && error ? (errno = error, -1L) : make();
    });
    s.edit(), s.edit();
    error = 0;
    s.edit();
    kept = s.text();
    s.runAway();
    error = ENOSPC;
    s.edit();
    EXPECT_EQ(s.said, (Lines{"no recovery copy is kept: " + pathOf(*entries().rbegin()) + ": " + std::strerror(ENOSPC),
                             "the recovery copy stays at an earlier step: the pose would not open again: line 2: "
                             "\"-1.329227995784916e+36\" is not a finite number of magnitude at most 1000000"}));
    s.copy.abandon();
  }
  Session back(path);
  EXPECT_EQ(back.copy.recoverInto(back.doc, std::nullopt).words, "recovered untitled");
  EXPECT_EQ(back.text(), kept);
}

}  // namespace
