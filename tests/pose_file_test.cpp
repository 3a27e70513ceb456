// Pose files: read whole or not at all, and written so that no failure can
// damage the old file or leave a new one behind. The failures are real ones:
// a missing folder, a folder for a name, a file size limit that stops a
// write midway, a folder the program cannot write in, a kill; or made in the
// calls a save goes through, which also show their order.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "temp_folder.h"
#include "pose/PoseFile.h"

namespace {

class PoseFile : public testing::Test, protected TempFolder {
 protected:
  const std::string& folder = path;
};

struct stat statOf(const std::string& path) {
  struct stat st {};
  lstat(path.c_str(), &st);
  return st;
}

using Log = std::vector<std::string>;

// Logs each call that succeeds, an fsync by what it flushes; those named in
// `failing` fail with `error` instead.
pose_file::Calls watched(Log& log, std::set<std::string> failing, int error) {
  return [&log, failing, error](std::string_view call, int fd, const std::function<long()>& make) {
    struct stat st;
    std::string name(call);
    if (call == "fsync") name += fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) ? " folder" : " file";
    if (failing.count(name)) return errno = error, -1L;
    const long result = make();
    if (result >= 0 && (log.empty() || log.back() != name)) log.push_back(name);
    return result;
  };
}

// The scope run as nobody, with one more group.
struct AsNobody {
  explicit AsNobody(gid_t group) : groups(getgroups(0, nullptr)) {
    getgroups(groups.size(), groups.data());
    if (setgroups(1, &group) | setegid(65534) | seteuid(65534)) ADD_FAILURE() << "not nobody";
  }
  ~AsNobody() {
    if (seteuid(0) | setegid(0) | setgroups(groups.size(), groups.data())) std::abort();
  }
  std::vector<gid_t> groups;
};

}  // namespace

TEST_F(PoseFile, AFailedWriteLeavesTheOldFileAndNothingElse) {
  const std::string path = pathOf("kept.pose");
  put(path, "the old pose\n");
  // A folder for a name, and a folder that is not there.
  mkdir(pathOf("folder.pose").c_str(), 0755);
  EXPECT_EQ(pose_file::write(pathOf("folder.pose"), "x"), "it is a folder");
  EXPECT_NE(pose_file::write(pathOf("gone/x.pose"), "x").find("cannot write in its folder"),
            std::string::npos);
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

TEST_F(PoseFile, ASaveFlushesTheFileBeforeItsRenameAndTheFolderAfter) {
  const std::string path = pathOf("pose.pose"), eio = std::strerror(EIO), notsup = std::strerror(EOPNOTSUPP);
  for (const auto& [failing, error, saying, expected] :
       std::vector<std::tuple<std::set<std::string>, int, std::string, Log>>{
           {{}, 0, "", {"open", "write", "fsync file", "link", "rename", "fsync folder"}},
           {{"link"}, ENOENT, "", {"open", "write", "fsync file", "link /proc", "rename", "fsync folder"}},
           {{"link", "link /proc"}, EPERM, "",
            {"open", "write", "fsync file", "write", "fsync file", "rename", "fsync folder"}},
           {{"open"}, EOPNOTSUPP, "", {"write", "fsync file", "rename", "fsync folder"}},
           {{"open"}, EACCES, "cannot write in its folder: " + std::string(std::strerror(EACCES)), {}},
           {{"write"}, EIO, eio, {"open"}},
           {{"fsync file"}, EIO, eio, {"open", "write"}},
           {{"rename"}, EIO, eio, {"open", "write", "fsync file", "link"}},
           {{"open", "rename"}, EOPNOTSUPP, notsup, {"write", "fsync file"}}}) {
    put(path, "old");
    chmod(path.c_str(), 0640);
    Log log;
    const pose_file::Saving saving = pose_file::save(path, "new", watched(log, failing, error));
    EXPECT_EQ(log, expected) << saying;
    EXPECT_EQ(std::make_tuple(saving.error + saving.note, contents(path), statOf(path).st_mode & 07777, entries()),
              std::make_tuple(saying, saying.empty() ? "new" : "old", 0640u, std::set<std::string>{"pose.pose"}));
  }
}

TEST_F(PoseFile, ASaveKilledMidwayLeavesTheOldFileAndNothingElse) {
  put(pathOf("pose.pose"), "old");
  for (const std::string_view at : {"write", "fsync"}) {
    const pid_t child = fork();
    if (child == 0) {
      pose_file::save(pathOf("pose.pose"), "new", [&](auto call, int, const std::function<long()>& make) {
        return call == at ? make() + raise(SIGKILL) : make();
      });
      _exit(0);
    }
    int status = 0;
    EXPECT_TRUE(waitpid(child, &status, 0) == child && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(entries(), std::set<std::string>{"pose.pose"});
    EXPECT_EQ(contents(pathOf("pose.pose")), "old");
  }
}

// As root, and as nobody (65534), who may not give a file away.
TEST_F(PoseFile, ASaveKeepsOwnerGroupAndModeAndRefusesAFileWithNoWriteBit) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root";
  const std::string path = pathOf("pose.pose");
  chmod(folder.c_str(), 0777);
  // As nobody; the file's owner, group and mode; refused; the owner and group after.
  for (const auto& [asNobody, owner, group, mode, refused, newOwner, newGroup] :
       std::vector<std::tuple<bool, uid_t, gid_t, mode_t, bool, uid_t, gid_t>>{
           {0, 65534, 4242, 0604, 0, 65534, 4242}, {0, 0, 0, 02750, 0, 0, 0}, {0, 0, 0, 0200, 0, 0, 0},
           {0, 0, 0, 0020, 0, 0, 0}, {0, 0, 0, 0002, 0, 0, 0}, {0, 0, 0, 0444, 1, 0, 0}, {0, 0, 0, 0, 1, 0, 0},
           {1, 0, 4242, 0666, 0, 65534, 4242}, {1, 0, 4243, 0666, 0, 65534, 65534},
           {1, 0, 4242, 0664, 0, 65534, 4242}, {1, 0, 4243, 0664, 1, 0, 4243}}) {
    put(path, "old");
    ASSERT_EQ(chown(path.c_str(), owner, group) | chmod(path.c_str(), mode), 0);
    std::optional<AsNobody> nobody;
    if (asNobody) nobody.emplace(4242);
    const std::string error = pose_file::write(path, "new");
    nobody.reset();
    const struct stat st = statOf(path);
    EXPECT_EQ(std::make_tuple(error, contents(path), st.st_uid, st.st_gid, st.st_mode & 07777),
              std::make_tuple(refused ? "it is read-only" : "", refused ? "old" : "new", newOwner, newGroup, mode))
        << std::oct << mode;
    EXPECT_EQ(entries(), std::set<std::string>{"pose.pose"});
  }
}

TEST_F(PoseFile, ALinkStaysALinkToItsSavedTargetAndWhatIsNoRegularFileIsRefused) {
  mkdir(pathOf("sub").c_str(), 0755);
  put(pathOf("sub/end.pose"), "old");
  chmod(pathOf("sub/end.pose").c_str(), 0640);
  link(pathOf("sub/end.pose").c_str(), pathOf("hard").c_str());
  // l1 leads to sub/end.pose through the 40 links the kernel follows, l0 through one more.
  for (int i = 0; i <= 40; ++i)
    symlink(i < 40 ? ("l" + std::to_string(i + 1)).c_str() : "sub/end.pose",
            pathOf("l" + std::to_string(i)).c_str());
  symlink(pathOf("sub/new.pose").c_str(), pathOf("dangling").c_str());
  symlink("x", pathOf("y").c_str());
  symlink("y", pathOf("x").c_str());
  mkdir(pathOf("folder").c_str(), 0755);
  symlink("folder", pathOf("to folder").c_str());
  mkfifo(pathOf("fifo").c_str(), 0666);
  sockaddr_un address{AF_UNIX, {}};
  std::strcpy(address.sun_path, pathOf("socket").c_str());
  const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
  bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address);
  mknod(pathOf("device").c_str(), S_IFCHR | 0666, makedev(1, 3));  // /dev/null's, where allowed
  const std::set<std::string> made = entries();
  const std::string folderWords = "it is a folder", notRegular = "it is not a regular file";
  for (const auto& [name, saying] : std::vector<std::pair<std::string, std::string>>{
           {"x", "its links lead round in a loop"}, {"l0", std::strerror(ELOOP)}, {"folder", folderWords},
           {"folder/", folderWords}, {"to folder", folderWords}, {"fifo", notRegular}, {"socket", notRegular},
           {"device", notRegular}}) {
    const mode_t kind = statOf(pathOf(name)).st_mode & S_IFMT;
    EXPECT_EQ(kind ? pose_file::write(pathOf(name), "new") : saying, saying) << name;
    EXPECT_EQ(statOf(pathOf(name)).st_mode & S_IFMT, kind) << name;
  }
  close(listening);
  EXPECT_EQ(pose_file::read(pathOf("l0")).error, std::strerror(ELOOP));
  EXPECT_EQ(pose_file::save(pathOf("l1"), "new").note, "its other names (hard links) keep the old file");
  // Saved again, it has one name: nothing to say.
  EXPECT_EQ(pose_file::save(pathOf("dangling"), "created").error + pose_file::save(pathOf("l1"), "new").note, "");
  EXPECT_EQ(entries(), made);
  EXPECT_TRUE(S_ISLNK(statOf(pathOf("l1")).st_mode) && S_ISLNK(statOf(pathOf("dangling")).st_mode));
  EXPECT_EQ(pose_file::read(pathOf("l1")).text + contents(pathOf("hard")) + contents(pathOf("sub/new.pose")),
            "newoldcreated");
  EXPECT_EQ(statOf(pathOf("sub/end.pose")).st_mode & 07777, 0640u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(pathOf("sub")), {}), 2);
}

TEST_F(PoseFile, ANewFileTakesTheUmaskAndAnyNameTheFolderTakesMaySave) {
  const mode_t saved = umask(0);
  for (const auto& [mask, mode] : {std::pair<mode_t, mode_t>{022, 0644}, {077, 0600}, {0, 0666}, {027, 0640}}) {
    umask(mask);
    EXPECT_EQ(pose_file::write(pathOf("new.pose"), "new"), "");
    EXPECT_EQ(statOf(pathOf("new.pose")).st_mode & 07777, mode) << std::oct << mask;
    unlink(pathOf("new.pose").c_str());
  }
  umask(saved);
  // In a folder that takes unnamed files, and in one that does not; written once.
  for (const std::set<std::string>& failing : {std::set<std::string>{}, {"open"}})
    for (const auto& [length, saying] :
         std::vector<std::pair<size_t, std::string>>{{248, ""}, {255, ""}, {256, std::strerror(ENAMETOOLONG)}}) {
      Log log;
      EXPECT_EQ(pose_file::save(pathOf(std::string(length, 'n')), "new", watched(log, failing, EOPNOTSUPP)).error,
                saying);
      EXPECT_EQ(std::count(log.begin(), log.end(), "write") + entries().size(), saying.empty() ? 2u : 0u) << length;
      unlink(pathOf(std::string(length, 'n')).c_str());
    }
}

// A file another program makes larger between its size and its bytes.
TEST_F(PoseFile, AFileThatGrowsWhileItIsReadIsJudgedByWhatItGrewTo) {
  const std::string path = pathOf("growing.pose");
  for (const size_t grown : {65536, 65537, 70000}) {
    put(path, std::string(100, '#'));
    const pose_file::Reading reading = pose_file::read(path, [&](auto, int, const std::function<long()>& make) {
      if (std::filesystem::file_size(path) == 100) put(path, std::string(grown, '#'));
      return make();
    });
    EXPECT_EQ(reading.error, grown == 65536 ? ""
                                            : "the text is " + std::to_string(grown) +
                                                  " bytes, more than the 65536 a pose may have");
    EXPECT_EQ(reading.text.size(), grown == 65536 ? 65536u : 0u);
  }
}

TEST_F(PoseFile, ReadsAndSavesSayWhichFileTheyLeftAndAnyChangeShows) {
  const std::string path = pathOf("pose.pose");
  symlink("pose.pose", pathOf("link").c_str());
  EXPECT_EQ(pose_file::identityOf(path), std::nullopt);
  const pose_file::Saving saving = pose_file::save(pathOf("link"), "saved");
  const struct stat st = statOf(path);
  const pose_file::Identity made{st.st_dev, st.st_ino, 5, st.st_mtim};
  EXPECT_EQ(saving.identity, made);
  EXPECT_EQ(pose_file::identityOf(pathOf("link")), made);
  EXPECT_EQ(pose_file::read(path).identity, made);
  EXPECT_NE(pose_file::save(path, "saved").identity, made);
  pose_file::Identity others[] = {made, made, made, made, made};
  ++others[0].dev, ++others[1].ino, ++others[2].size, ++others[3].mtime.tv_sec, ++others[4].mtime.tv_nsec;
  for (const pose_file::Identity& other : others) EXPECT_TRUE(other != made && !(other == made));
}

TEST(PoseFileNames, AnExtensionIsAddedOnlyToANameWithout) {
  EXPECT_EQ(pose_file::withExtension("/a/b/run"), "/a/b/run.pose");
  EXPECT_EQ(pose_file::withExtension("/a.d/run"), "/a.d/run.pose");
  EXPECT_EQ(pose_file::withExtension(".hidden"), ".hidden.pose");
  EXPECT_EQ(pose_file::withExtension("run.txt"), "run.txt");
  EXPECT_EQ(pose_file::nameOf("/a/b/run.pose"), "run.pose");
  EXPECT_EQ(pose_file::nameOf("run.pose"), "run.pose");
}
