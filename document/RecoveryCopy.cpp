#include "document/RecoveryCopy.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>

#include "document/PoseDocument.h"
#include "document/RecoveryText.h"
#include "pose/PoseFileText.h"
#include "pose/PoseText.h"

namespace {

namespace fs = std::filesystem;

std::string reason(int error) { return std::strerror(error); }

constexpr int kHeld = -1;    // another program holds the lock
constexpr int kBroken = -2;  // it is no regular file, or cannot be opened

// The lock, taken when nobody else holds it. Made when asked (a copy found
// without one): no running program's copy is ever without its lock, and no
// running program's lock is anything but a regular file.
int takeLock(const std::string& path, bool make) {
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0 && errno == ENOENT && make)
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return errno == ENOENT || errno == EEXIST ? kHeld : kBroken;
  struct stat st;
  const int taken = ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ? kBroken
                    : ::flock(fd, LOCK_EX | LOCK_NB) == 0      ? fd
                                                                : kHeld;
  if (taken < 0) ::close(fd);
  return taken;
}

// Whether the descriptor is still the file the path names: a start's
// clean-up may take away a lock between its making and its locking.
bool stillNamed(int fd, const std::string& path) {
  struct stat held, named;
  return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

bool newer(const timespec& a, const timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

struct Orphan {
  std::string stem;
  int lock = -1;
  recovery_text::Copy copy;
  timespec when{};
};

// The stems of the folder's copies and locks, in order.
std::set<std::string> stemsIn(const std::string& folder) {
  std::set<std::string> stems;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    const fs::path extension = entry.path().extension();
    if (extension == ".lock" || extension == ".pose") stems.insert(entry.path().stem().string());
  }
  return stems;
}

}  // namespace

std::string RecoveryCopy::folder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && *state == '/') return std::string(state) + "/mannequin";
  const char* home = std::getenv("HOME");
  return home && *home ? std::string(home) + "/.local/state/mannequin" : "";
}

RecoveryCopy::RecoveryCopy(std::string folder, pose_file::Calls calls)
    : home(std::move(folder)), calls(std::move(calls)) {}

RecoveryCopy::~RecoveryCopy() {
  if (!abandoned) release();
  if (lock >= 0) ::close(lock);
}

void RecoveryCopy::onReport(std::function<void(const Outcome&)> report) {
  listener = std::move(report);
  if (!listener) return;
  for (const Outcome& outcome : untold) listener(outcome);
  untold.clear();
}

void RecoveryCopy::tell(const Outcome& outcome) {
  if (listener)
    listener(outcome);
  else
    untold.push_back(outcome);
}

// Said once; said again only once a copy was written in between.
void RecoveryCopy::failed(const std::string& words) {
  if (!failing) tell(Outcome::refusal(words));
  failing = true;
}

std::string RecoveryCopy::cannotKeep(const std::string& why) const {
  return "recovery copies cannot be kept" + (home.empty() ? "" : " in " + home) + ": " + why;
}

std::string RecoveryCopy::pathOf(const std::string& stem, const char* extension) const {
  return home + "/" + stem + extension;
}

void RecoveryCopy::abandon() {
  abandoned = true;
  if (written.empty()) release();
}

void RecoveryCopy::release() {
  if (name.empty()) return;
  ::unlink(pathOf(name, ".pose").c_str());
  ::unlink(pathOf(name, ".lock").c_str());
}

// Why the folder cannot hold copies; empty when it can, or when it is not
// there yet (the first copy makes it).
std::string RecoveryCopy::folderRefusal() const {
  if (home.empty()) return "neither XDG_STATE_HOME nor HOME names a folder for them";
  struct stat st;
  if (::stat(home.c_str(), &st) != 0) return errno == ENOENT ? "" : reason(errno);
  if (!S_ISDIR(st.st_mode)) return "it is not a folder";
  // Another user could read the copies, or leave copies to be opened.
  if (st.st_uid != ::geteuid()) return "it belongs to another user";
  return ::access(home.c_str(), W_OK | X_OK) == 0 ? "" : reason(errno);
}

// The orphan's copy, renamed beside it so that no start offers it again but
// a person still finds what it holds, and said with its new path.
// The lock is closed, when there is one.
void RecoveryCopy::setAside(const std::string& stem, int stemLock, const std::string& why) {
  const std::string from = pathOf(stem, ".pose");
  std::string to = pathOf(stem, ".refused");
  // Never over an earlier copy set aside.
  bool moved = false;
  int error = EEXIST;
  for (int tries = 0; !moved && error == EEXIST && tries < 100; ++tries) {
    if (tries > 0) to = pathOf(stem + "-" + std::to_string(tries), ".refused");
    moved = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
    // A filesystem without that flag (NFS) still links a new name, or not.
    if (!moved && errno == EINVAL) moved = ::link(from.c_str(), to.c_str()) == 0 && ::unlink(from.c_str()) == 0;
    error = moved ? 0 : errno;
  }
  if (moved) {
    ::unlink(pathOf(stem, ".lock").c_str());
    tell(Outcome::refusal("recovery copy set aside as " + to + ": " + why));
  } else {
    // Left as it is, with its lock, to be said again at the next start.
    tell(Outcome::refusal("recovery copy " + from + " cannot be brought back (" + why +
                          ") nor set aside: " + reason(error)));
  }
  if (stemLock >= 0) ::close(stemLock);
}

Outcome RecoveryCopy::recoverInto(PoseDocument& document, const std::optional<std::string>& file) {
  if (const std::string why = folderRefusal(); !why.empty()) {
    failed(cannotKeep(why));
    return {};
  }
  Orphan chosen;
  for (const std::string& stem : stemsIn(home)) {
    Orphan orphan{stem, -1, {}, {}};
    const std::string copyPath = pathOf(stem, ".pose");
    struct stat st;
    const bool copied = ::lstat(copyPath.c_str(), &st) == 0 || errno != ENOENT;
    orphan.lock = takeLock(pathOf(stem, ".lock"), copied);
    if (orphan.lock == kBroken && copied) setAside(stem, -1, "its lock is not a regular file");
    if (orphan.lock < 0) continue;
    if (!copied) {
      // A lock left with no copy beside it is a leftover of a clean-up cut short.
      ::unlink(pathOf(stem, ".lock").c_str());
      ::close(orphan.lock);
      continue;
    }
    // Read as a pose file is, but for its links: a copy that is a pipe, a
    // device, a link or too large is refused, never waited on.
    const pose_file::Reading reading = pose_file::read(copyPath, calls, {recovery_text::kSizeLimit, false});
    orphan.copy = recovery_text::read(reading.text);
    std::string error = !reading.error.empty() ? reading.error : orphan.copy.error;
    if (error.empty()) error = pose_file_text::read(document.figure(), orphan.copy.pose, "").error;
    if (!error.empty()) {
      setAside(stem, orphan.lock, error);
      continue;
    }
    orphan.when = reading.identity.mtime;
    const bool fits = !file || (!orphan.copy.path.empty() && pose_file::sameFile(orphan.copy.path, *file));
    if (fits && (chosen.lock < 0 || newer(orphan.when, chosen.when))) std::swap(chosen, orphan);
    if (orphan.lock >= 0) ::close(orphan.lock);
  }
  if (chosen.lock < 0) return {};
  // The orphan is this program's copy from now on.
  lock = chosen.lock;
  name = chosen.stem;
  const Outcome outcome = document.recover(chosen.copy.pose, chosen.copy.path, chosen.copy.identity);
  if (outcome.refused) {
    setAside(name, lock, outcome.words);
    lock = -1;
    name.clear();
  }
  keep(document);
  return outcome.refused ? Outcome{} : outcome;
}

bool RecoveryCopy::claim(const std::string& stem) {
  if (lock >= 0) return true;
  // Made with its mode; a folder already there keeps the one it has.
  std::error_code error;
  fs::create_directories(fs::path(home).parent_path(), error);
  // A folder above that could not be made says why, not that it is missing.
  if (::mkdir(home.c_str(), 0700) != 0 && errno != EEXIST)
    return failed(cannotKeep(error && errno == ENOENT ? error.message() : reason(errno))), false;
  if (const std::string why = folderRefusal(); !why.empty()) return failed(cannotKeep(why)), false;
  for (int tries = 0; tries < 10; ++tries) {
    std::string path = pathOf(stem + "XXXXXX", ".lock");
    const int fd = ::mkostemps(path.data(), 5, O_CLOEXEC);
    if (fd < 0) return failed(cannotKeep(reason(errno))), false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && stillNamed(fd, path)) {
      lock = fd;
      name = fs::path(path).stem().string();
      return true;
    }
    ::close(fd);
  }
  return failed(cannotKeep("no lock file of its own could be made")), false;
}

void RecoveryCopy::keep(const PoseDocument& document) {
  if (home.empty()) return;
  if (!document.modified()) {
    if (!written.empty()) ::unlink(pathOf(name, ".pose").c_str());
    written.clear();
    return;
  }
  const std::string stays = written.empty() ? "no recovery copy is kept: " : "the recovery copy stays at an earlier step: ";
  const pose_text::Writing pose = document.fileText(document.path());
  if (!pose.error.empty()) return failed(stays + "the pose would not open again: " + pose.error);
  const std::string text =
      recovery_text::write(document.path(), document.steps().current().file->identity, pose.text);
  if (text.size() > recovery_text::kSizeLimit) return failed(stays + "the name of its file is too long");
  if (text == written || !claim("copy-")) return;
  // Written as a pose file is: a failure leaves the last copy whole.
  if (const std::string error = pose_file::save(pathOf(name, ".pose"), text, calls).error; !error.empty())
    return failed(stays + pathOf(name, ".pose") + ": " + error);
  written = text;
  failing = false;
}
