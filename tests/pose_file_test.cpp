// Pose files: read whole or not at all, and written so that no failure can
// damage the old file or leave a new one behind. The failures are real ones
// (a file size limit that stops a write midway, a folder that takes no new
// files, a kill) or made in the calls a save goes through, which also show
// their order. A missing folder is document_test's.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "temp_folder.h"
#include "pose/PoseFile.h"

// The descriptor last flushed to the disk: this fsync stands in for the C
// library's in the whole test program, so a save that skips the real flush shows.
std::atomic<int> lastFlushed{-1};
extern "C" int fsync(int fd) {
  lastFlushed = fd;
  return static_cast<int>(syscall(SYS_fsync, fd));
}

namespace {

using Log = std::vector<std::string>;
using Names = std::set<std::string>;

class PoseFile : public testing::Test, protected TempFolder {
 protected:
  const std::string pose = pathOf("pose.pose");
};

struct stat statOf(const std::string& path) {
  struct stat st {};
  lstat(path.c_str(), &st);
  return st;
}

// Logs each call that succeeds, an fsync by what it flushes and only when it
// reached the disk; those named in `failing` fail with `error` instead.
pose_file::Calls watched(Log& log, Names failing = {}, int error = 0) {
  return [&log, failing, error](std::string_view call, int fd, const std::function<long()>& make) {
    struct stat st;
    std::string name(call);
    if (call == "fsync") name += fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) ? " folder" : " file";
    if (failing.count(name)) return errno = error, -1L;
    lastFlushed = -1;
    const long result = make();
    const bool flushed = call != "fsync" || lastFlushed == fd;
    if (result >= 0 && flushed && (log.empty() || log.back() != name)) log.push_back(name);
    return result;
  };
}

}  // namespace

TEST_F(PoseFile, ASaveFlushesTheFileBeforeItsRenameAndTheFolderAfter) {
  const std::string eio = std::strerror(EIO), notsup = std::strerror(EOPNOTSUPP);
  // The calls that fail, how; what the save says and the calls made.
  for (const auto& [failing, error, saying, expected] :
       std::vector<std::tuple<Names, int, std::string, Log>>{
           {{}, 0, "", {"open", "write", "fsync file", "link", "rename", "fsync folder"}},
           {{"link"}, ENOENT, "", {"open", "write", "fsync file", "link /proc", "rename", "fsync folder"}},
           {{"link", "link /proc"}, EPERM, "",
            {"open", "write", "fsync file", "write", "fsync file", "rename", "fsync folder"}},
           {{"open"}, EOPNOTSUPP, "", {"write", "fsync file", "rename", "fsync folder"}},
           {{"open"}, EACCES, "cannot write in its folder: " + std::string(std::strerror(EACCES)), {}},
           {{"write"}, EIO, eio, {"open"}},
           {{"open", "write"}, EOPNOTSUPP, notsup, {}},
           {{"fsync file"}, EIO, eio, {"open", "write"}},
           {{"rename"}, EIO, eio, {"open", "write", "fsync file", "link"}},
           {{"open", "rename"}, EOPNOTSUPP, notsup, {"write", "fsync file"}}}) {
    put(pose, "old");
    chmod(pose.c_str(), 0640);
    Log log;
    const pose_file::Saving saving = pose_file::save(pose, "new", watched(log, failing, error));
    EXPECT_EQ(log, expected) << saying;
    EXPECT_EQ(std::make_tuple(saving.error + saving.note, contents(pose), statOf(pose).st_mode & 07777,
                              entries()),
              std::make_tuple(saying, saying.empty() ? "new" : "old", 0640u, Names{"pose.pose"}));
  }
}

// A write stopped midway, as by a full disk (files may grow to 100 bytes),
// and a kill once the bytes are written, or flushed.
TEST_F(PoseFile, ARealFailureOrAKillLeavesTheOldFileAndNothingElse) {
  put(pose, "old");
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  const rlimit small{100, saved.rlim_max};
  setrlimit(RLIMIT_FSIZE, &small);
  const std::string error = pose_file::write(pose, std::string(10000, '#'));
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(error, std::strerror(EFBIG));
  // A forked child spins for ever under qemu-user: the native build runs this.
#ifndef MANNEQUIN_UNDER_EMULATOR
  for (const std::string_view at : {"write", "fsync"}) {
    const pid_t child = fork();
    if (child == 0) {
      // Ended there at once, as by a kill: no clean-up runs.
      pose_file::save(pose, "new", [&](auto call, int, const std::function<long()>& make) {
        const long made = make();
        if (call == at) std::_Exit(77);
        return made;
      });
      _exit(0);
    }
    int status = 0;
    EXPECT_TRUE(waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 77);
  }
#endif
  EXPECT_EQ(std::make_pair(entries(), contents(pose)), std::make_pair(Names{"pose.pose"}, std::string("old")));
  // /proc takes no new files, even from root, who may write anywhere else.
  EXPECT_EQ(pose_file::write("/proc/mannequin.pose", "x").rfind("cannot write in its folder", 0), 0u);
}

// As root, and as nobody (65534) with one more group, who may not give a file away.
TEST_F(PoseFile, ASaveKeepsOwnerGroupAndModeAndRefusesAFileWithNoWriteBit) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root";
  chmod(path.c_str(), 0777);
  std::vector<gid_t> groups(getgroups(0, nullptr)), more{4242};
  getgroups(groups.size(), groups.data());
  // As nobody; the file's owner, group and mode; refused; the owner and group after.
  for (const auto& [asNobody, owner, group, mode, refused, newOwner, newGroup] :
       std::vector<std::tuple<bool, uid_t, gid_t, mode_t, bool, uid_t, gid_t>>{
           {0, 65534, 4242, 0604, 0, 65534, 4242}, {0, 0, 0, 02750, 0, 0, 0}, {0, 0, 0, 0200, 0, 0, 0},
           {0, 0, 0, 0020, 0, 0, 0}, {0, 0, 0, 0002, 0, 0, 0}, {0, 0, 0, 0444, 1, 0, 0}, {0, 0, 0, 0, 1, 0, 0},
           {1, 0, 4242, 0666, 0, 65534, 4242}, {1, 0, 4243, 0666, 0, 65534, 65534},
           {1, 0, 4242, 0664, 0, 65534, 4242}, {1, 0, 4243, 0664, 1, 0, 4243}}) {
    put(pose, "old");
    ASSERT_EQ(chown(pose.c_str(), owner, group) | chmod(pose.c_str(), mode), 0);
    if (asNobody && (setgroups(1, more.data()) | setegid(65534) | seteuid(65534))) ADD_FAILURE() << "not nobody";
    const std::string error = pose_file::write(pose, "new");
    if (asNobody && (seteuid(0) | setegid(0) | setgroups(groups.size(), groups.data()))) std::abort();
    const struct stat st = statOf(pose);
    EXPECT_EQ(std::make_tuple(error, contents(pose), st.st_uid, st.st_gid, st.st_mode & 07777, entries()),
              std::make_tuple(refused ? "it is read-only" : "", refused ? "old" : "new", newOwner, newGroup, mode,
                              Names{"pose.pose"}))
        << std::oct << mode;
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
  const Names made = entries();
  const std::string folder = "it is a folder", notRegular = "it is not a regular file";
  const std::string loop = std::strerror(ELOOP);
  // The name; what a save of it says, and what a read does.
  for (const auto& [name, saving, reading] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"x", "its links lead round in a loop", loop}, {"l0", loop, loop}, {"folder", folder, folder},
           {"folder/", folder, folder}, {"to folder", folder, folder}, {"fifo", notRegular, notRegular},
           {"socket", notRegular, std::strerror(ENXIO)}}) {
    const mode_t kind = statOf(pathOf(name)).st_mode & S_IFMT;
    EXPECT_EQ(pose_file::write(pathOf(name), "new") + "; " + pose_file::read(pathOf(name)).error,
              saving + "; " + reading) << name;
    EXPECT_EQ(statOf(pathOf(name)).st_mode & S_IFMT, kind) << name;
  }
  close(listening);
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
    EXPECT_EQ(pose_file::write(pose, "new"), "");
    EXPECT_EQ(statOf(pose).st_mode & 07777, mode) << std::oct << mask;
    unlink(pose.c_str());
  }
  umask(saved);
  // In a folder that takes unnamed files, and in one that does not; written once.
  for (const Names& failing : {Names{}, {"open"}})
    for (const auto& [length, saying] :
         std::vector<std::pair<size_t, std::string>>{{248, ""}, {255, ""}, {256, std::strerror(ENAMETOOLONG)}}) {
      Log log;
      EXPECT_EQ(pose_file::save(pathOf(std::string(length, 'n')), "new", watched(log, failing, EOPNOTSUPP)).error,
                saying);
      EXPECT_EQ(std::count(log.begin(), log.end(), "write") + entries().size(), saying.empty() ? 2u : 0u)
          << length;
      unlink(pathOf(std::string(length, 'n')).c_str());
    }
  // The extension is added only to a name without; a dot in a folder's name,
  // and a name with an extension, are document_test's picture names.
  // A folder's path stays one, to be refused as a folder.
  EXPECT_EQ(pose_file::withExtension("/a/b/run") + " " + pose_file::withExtension(".hidden") + " " +
                pose_file::withExtension("/a/b/"),
            "/a/b/run.pose .hidden.pose /a/b/");
  EXPECT_EQ(pose_file::nameOf("run.pose"), "run.pose");
}

// A file is judged by its size before a byte of it is read, and when another
// program makes it larger between its size and its bytes, by what it grew to;
// by its reader's limit.
TEST_F(PoseFile, AFileIsJudgedByItsSizeBeforeItIsReadAndByWhatItGrewTo) {
  ASSERT_EQ(truncate((put(pose, ""), pose).c_str(), 1 << 30), 0);
  Log log;
  const pose_file::Reading huge = pose_file::read(pose, watched(log));
  EXPECT_EQ(std::tie(huge.error, huge.text, log), std::make_tuple(pose_text::sizeRefusal(1 << 30), "", Log{}));
  for (const size_t grown : {65536, 65537, 70000}) {
    put(pose, std::string(100, '#'));
    const pose_file::Reading reading = pose_file::read(pose, [&](auto, int, const std::function<long()>& make) {
      if (std::filesystem::file_size(pose) == 100) put(pose, std::string(grown, '#'));
      return make();
    });
    EXPECT_EQ(reading.error, grown == 65536 ? "" : pose_text::sizeRefusal(grown));
    EXPECT_EQ(reading.text.size(), grown == 65536 ? 65536u : 0u);
  }
  // The program's own files are read by their own limit, and no link is followed.
  put(pose, std::string(100, '#'));
  symlink("pose.pose", pathOf("link").c_str());
  EXPECT_EQ(pose_file::read(pathOf("link")).text.size() + pose_file::read(pose, {}, {100, false}).text.size(),
            200u);
  EXPECT_EQ(pose_file::read(pathOf("link"), {}, {100, false}).error, "it is a symbolic link");
  EXPECT_EQ(pose_file::read(pose, {}, {99, false}).error, "it is 100 bytes, more than the 99 it may have");
}

TEST_F(PoseFile, ReadsAndSavesSayWhichFileTheyLeftAndAnyChangeShows) {
  symlink("pose.pose", pathOf("link").c_str());
  EXPECT_EQ(pose_file::identityOf(pose), std::nullopt);
  EXPECT_EQ(pose_file::read(pose).error, std::strerror(ENOENT));
  const pose_file::Saving saving = pose_file::save(pathOf("link"), "saved");
  const struct stat st = statOf(pose);
  const pose_file::Identity made{st.st_dev, st.st_ino, 5, st.st_mtim, st.st_ctim};
  EXPECT_EQ(saving.identity, made) << "as its rename left it";
  EXPECT_EQ(pose_file::identityOf(pathOf("link")), made);
  EXPECT_EQ(pose_file::read(pose).identity, made);
  EXPECT_NE(pose_file::save(pose, "saved").identity, made);
  // Any one field changed: a file changed in place, its mtime put back, is
  // recovery_test's.
  pose_file::Identity others[] = {made, made, made, made, made, made};
  ++others[0].dev, ++others[1].ino, ++others[2].size, ++others[3].mtime.tv_sec, ++others[4].mtime.tv_nsec;
  ++others[5].ctime.tv_nsec;
  for (const pose_file::Identity& other : others) EXPECT_TRUE(other != made && !(other == made));
}
