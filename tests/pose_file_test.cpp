// Pose files: read whole or not at all, and written so that no failure can
// damage the old file or leave a new one behind. The failures are real ones:
// a missing folder, a folder for a name, a file size limit that stops a
// write midway, a folder the program cannot write in.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>

#include "ik_test_util.h"
#include "temp_folder.h"
#include "pose/PoseFile.h"

namespace {

class PoseFile : public testing::Test, protected TempFolder {
 protected:
  const std::string& folder = path;
};

}  // namespace

TEST_F(PoseFile, AWriteReplacesTheFileByARenameAndKeepsItsMode) {
  const std::string path = pathOf("pose.pose");
  put(path, "old");
  chmod(path.c_str(), 0640);
  const int old = open(path.c_str(), O_RDONLY);
  ASSERT_GE(old, 0);
  EXPECT_EQ(pose_file::write(path, "new text\n"), "");
  EXPECT_EQ(contents(path), "new text\n");
  // The old file is still whole where it was: the new one took its name.
  char held[8] = {};
  EXPECT_EQ(pread(old, held, sizeof held, 0), 3);
  EXPECT_STREQ(held, "old");
  close(old);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(entries(), std::set<std::string>{"pose.pose"});
  EXPECT_EQ(pose_file::read(path).text, "new text\n");
}

TEST_F(PoseFile, AFailedWriteLeavesTheOldFileAndNothingElse) {
  const std::string path = pathOf("kept.pose");
  put(path, "the old pose\n");
  // A folder for a name, and a folder that is not there.
  mkdir(pathOf("folder.pose").c_str(), 0755);
  EXPECT_EQ(pose_file::write(pathOf("folder.pose"), "x"), "it is a folder");
  EXPECT_NE(pose_file::write(pathOf("gone/x.pose"), "x").find("cannot write in its folder"), std::string::npos);
  // A write stopped midway, as by a full disk: files may grow to 100 bytes.
  const std::string big(10000, '#');
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 100;
  setrlimit(RLIMIT_FSIZE, &small);
  const std::string error = pose_file::write(path, big);
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(error, std::strerror(EFBIG));
  EXPECT_EQ(contents(path), "the old pose\n");
  EXPECT_EQ(entries(), (std::set<std::string>{"folder.pose", "kept.pose"}));
  rmdir(pathOf("folder.pose").c_str());
}

TEST_F(PoseFile, AFolderThatCannotBeWrittenInIsRefused) {
  // Root writes anywhere it may change permissions; /proc takes no new files.
  std::string path = "/proc/mannequin.pose";
  if (geteuid() != 0) {
    mkdir(pathOf("locked").c_str(), 0555);
    path = pathOf("locked/x.pose");
  }
  EXPECT_NE(pose_file::write(path, "x").find("cannot write in its folder"), std::string::npos);
  rmdir(pathOf("locked").c_str());
}

TEST_F(PoseFile, ReadingRefusesWhatIsNoPoseFileBeforeReadingIt) {
  EXPECT_EQ(pose_file::read(pathOf("missing.pose")).error, std::strerror(ENOENT));
  EXPECT_EQ(pose_file::read(folder).error, "it is a folder");
  mkfifo(pathOf("pipe").c_str(), 0600);
  EXPECT_EQ(pose_file::read(pathOf("pipe")).error, "it is not a regular file");
  // Exactly at the limit it is read; past it, and a gigabyte, only its size is.
  put(pathOf("full.pose"), std::string(65536, '#'));
  EXPECT_EQ(pose_file::read(pathOf("full.pose")).text.size(), 65536u);
  put(pathOf("over.pose"), std::string(65537, '#'));
  EXPECT_EQ(pose_file::read(pathOf("over.pose")).error, pose_text::sizeRefusal(65537));
  const int huge = open(pathOf("huge.pose").c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_EQ(ftruncate(huge, 1 << 30), 0);
  close(huge);
  const pose_file::Reading reading = pose_file::read(pathOf("huge.pose"));
  EXPECT_EQ(reading.error, pose_text::sizeRefusal(1 << 30));
  EXPECT_EQ(reading.text, "");
}

TEST(PoseFileNames, AnExtensionIsAddedOnlyToANameWithout) {
  EXPECT_EQ(pose_file::withExtension("/a/b/run"), "/a/b/run.pose");
  EXPECT_EQ(pose_file::withExtension("/a.d/run"), "/a.d/run.pose");
  EXPECT_EQ(pose_file::withExtension(".hidden"), ".hidden.pose");
  EXPECT_EQ(pose_file::withExtension("run.txt"), "run.txt");
  EXPECT_EQ(pose_file::nameOf("/a/b/run.pose"), "run.pose");
  EXPECT_EQ(pose_file::nameOf("run.pose"), "run.pose");
}
