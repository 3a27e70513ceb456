#include "pose/PoseFile.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <utility>

namespace pose_file {

namespace {

std::string reason(int error) { return std::strerror(error); }

std::string folderOf(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  return folder.empty() ? "." : folder.string();
}

// Closes the descriptor when it goes out of scope.
struct Descriptor {
  explicit Descriptor(int opened) : fd(opened) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
  // Closes it now, for the error that close itself may report.
  bool close() { return ::close(std::exchange(fd, -1)) == 0; }
  int fd;
};

Identity identityFrom(const struct stat& st) { return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim}; }

bool operator==(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// The call, through the watcher when there is one.
long made(const Calls& calls, std::string_view call, int fd, const std::function<long()>& make) {
  return calls ? calls(call, fd, make) : make();
}

// Reads up to limit + 1 bytes: enough to tell a file that grew past the limit.
std::string readUpTo(const Calls& calls, int fd, std::size_t limit, std::string& error) {
  std::string text(limit + 1, '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    const long n = made(calls, "read", fd, [&] { return ::read(fd, text.data() + got, text.size() - got); });
    if (n == 0) break;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = reason(errno);
      return "";
    }
    got += static_cast<std::size_t>(n);
  }
  text.resize(got);
  return text;
}

bool writeAll(const Calls& calls, int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const long n = made(calls, "write", fd, [&] { return ::write(fd, bytes.data(), bytes.size()); });
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// A new file's mode: what the umask leaves of rw-rw-rw-.
mode_t newFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// As many links as the kernel follows in one path.
constexpr std::size_t kLinkLimit = 40;

// Follows the path's symbolic links to the file they lead to, which may not
// exist yet; the reason when they lead nowhere.
std::string followLinks(std::string& path) {
  std::set<std::pair<dev_t, ino_t>> passed;
  struct stat st;
  while (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (!passed.insert({st.st_dev, st.st_ino}).second) return "its links lead round in a loop";
    if (passed.size() > kLinkLimit) return reason(ELOOP);
    std::error_code error;
    const std::filesystem::path to = std::filesystem::read_symlink(path, error);
    if (error) return error.message();
    path = to.is_absolute() ? to.string() : folderOf(path) + "/" + to.string();
  }
  return "";
}

// Why the file there may not be replaced, judged before anything is written;
// empty when it may. Root may write any file, but one with no write bit at
// all is meant to stay as it is, so it is refused to root too.
std::string refusalOf(const struct stat& old, int folder, const std::string& name) {
  if (S_ISDIR(old.st_mode)) return "it is a folder";
  if (!S_ISREG(old.st_mode)) return "it is not a regular file";
  const bool writable = (old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 &&
                        (::geteuid() == 0 || ::faccessat(folder, name.c_str(), W_OK, AT_EACCESS) == 0);
  return writable ? "" : "it is read-only";
}

// A name for the new file while it takes the old one's place: short, so
// that any name the folder takes may be saved.
std::string temporaryName() {
  static std::minstd_rand draw{std::random_device{}()};
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string name = ".mannequin-";
  for (int i = 0; i < 6; ++i) name += kLetters[draw() % (sizeof kLetters - 1)];
  return name;
}

// One save: the bytes for a name in a folder, in place of the old file there.
class Saver {
 public:
  Saver(const Calls& calls, int folder, const std::string& folderPath, const std::string& name,
        const struct stat* old)
      : calls_(calls), folder_(folder), folderPath_(folderPath), name_(name), old_(old) {}

  // The bytes in a file with no name, linked in under a temporary one only
  // when whole and then renamed over the old: killed before that, the
  // system takes the file away. Where the folder takes no such files, or it
  // cannot be linked in, in a named temporary file.
  std::string save(std::string_view bytes, Identity& identity) {
    Descriptor file{static_cast<int>(made(calls_, "open", folder_, [&] {
      return ::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    }))};
    if (file.fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
      return "cannot write in its folder: " + reason(errno);
    if (file.fd < 0) return saveNamed(bytes, identity);
    if (!fill(file.fd, bytes, identity)) return reason(errno);
    const std::string temporary = linkIn(file.fd);
    if (temporary.empty()) return saveNamed(bytes, identity);
    if (!file.close()) return undo(temporary, errno);
    return replace(temporary, identity);
  }

 private:
  std::string saveNamed(std::string_view bytes, Identity& identity) {
    std::string temporary = folderPath_ + "/.mannequin-XXXXXX";
    Descriptor file{::mkostemp(temporary.data(), O_CLOEXEC)};
    if (file.fd < 0) return "cannot write in its folder: " + reason(errno);
    temporary = nameOf(temporary);
    if (!fill(file.fd, bytes, identity) || !file.close()) return undo(temporary, errno);
    return replace(temporary, identity);
  }

  // The old file's owner and group where the system allows them (a person
  // may give the file a group of theirs, not another owner), its mode, and
  // the bytes, on the disk.
  bool fill(int fd, std::string_view bytes, Identity& identity) {
    if (old_ && ::fchown(fd, old_->st_uid, old_->st_gid) != 0 &&
        ::fchown(fd, static_cast<uid_t>(-1), old_->st_gid) != 0) {
      // Neither is allowed: the new file is the saver's own.
    }
    struct stat st;
    const bool filled = ::fchmod(fd, old_ ? old_->st_mode & 07777 : newFileMode()) == 0 &&
                        writeAll(calls_, fd, bytes) &&
                        made(calls_, "fsync", fd, [&] { return ::fsync(fd); }) == 0 && ::fstat(fd, &st) == 0;
    if (filled) identity = identityFrom(st);
    return filled;
  }

  // Gives the unnamed file a temporary name; empty when it cannot be given
  // one. Linking the descriptor itself may need a privilege; its entry in
  // /proc does not.
  std::string linkIn(int fd) {
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    for (int tries = 0; tries < 100; ++tries) {
      const std::string temporary = temporaryName();
      const auto link = [&](std::string_view call, int from, const char* path, int flags) {
        return made(calls_, call, fd,
                    [&] { return ::linkat(from, path, folder_, temporary.c_str(), flags); }) == 0;
      };
      if (link("link", fd, "", AT_EMPTY_PATH) ||
          (errno != EEXIST && link("link /proc", AT_FDCWD, proc.c_str(), AT_SYMLINK_FOLLOW)))
        return temporary;
      if (errno != EEXIST) break;
    }
    return "";
  }

  // The link and the rename change the new file's ctime: its identity is
  // taken under its name, when that is still the file written.
  std::string replace(const std::string& temporary, Identity& identity) {
    if (made(calls_, "rename", folder_,
             [&] { return ::renameat(folder_, temporary.c_str(), folder_, name_.c_str()); }) != 0)
      return undo(temporary, errno);
    // The rename itself reaches the disk with the folder.
    made(calls_, "fsync", folder_, [&] { return ::fsync(folder_); });
    struct stat st;
    if (::fstatat(folder_, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_dev == identity.dev &&
        st.st_ino == identity.ino)
      identity = identityFrom(st);
    return "";
  }

  std::string undo(const std::string& temporary, int error) {
    ::unlinkat(folder_, temporary.c_str(), 0);
    return reason(error);
  }

  const Calls& calls_;
  const int folder_;
  const std::string& folderPath_;
  const std::string& name_;
  const struct stat* old_;
};

}  // namespace

bool operator==(const Identity& a, const Identity& b) {
  return a.dev == b.dev && a.ino == b.ino && a.size == b.size && a.mtime == b.mtime && a.ctime == b.ctime;
}

bool operator!=(const Identity& a, const Identity& b) { return !(a == b); }

std::optional<Identity> identityOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return identityFrom(st);
}

namespace {

// Why a file of this many bytes is not read; a pose file says so as a pose's text does.
std::string sizeRefusal(std::size_t bytes, std::size_t limit) {
  if (limit == pose_text::kSizeLimit) return pose_text::sizeRefusal(bytes);
  if (bytes <= limit) return "";
  return "it is " + std::to_string(bytes) + " bytes, more than the " + std::to_string(limit) + " it may have";
}

}  // namespace

Reading read(const std::string& path, const Calls& calls, const Rules& rules) {
  Reading reading;
  // Not blocking: a named pipe is refused below instead of waited on.
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (rules.followLinks ? 0 : O_NOFOLLOW);
  const Descriptor file{::open(path.c_str(), flags)};
  struct stat st;
  if (file.fd < 0 || ::fstat(file.fd, &st) != 0) {
    reading.error = errno == ELOOP && !rules.followLinks ? "it is a symbolic link" : reason(errno);
  } else if (S_ISDIR(st.st_mode)) {
    reading.error = "it is a folder";
  } else if (!S_ISREG(st.st_mode)) {
    reading.error = "it is not a regular file";
  } else if (std::string refusal = sizeRefusal(static_cast<std::size_t>(st.st_size), rules.limit); !refusal.empty()) {
    reading.error = refusal;
  } else {
    reading.identity = identityFrom(st);
    reading.text = readUpTo(calls, file.fd, rules.limit, reading.error);
    if (reading.error.empty() && reading.text.size() > rules.limit) {
      // It grew while it was read: its size now, not the bytes read.
      if (::fstat(file.fd, &st) == 0 && static_cast<std::size_t>(st.st_size) > rules.limit)
        reading.error = sizeRefusal(static_cast<std::size_t>(st.st_size), rules.limit);
      else
        reading.error = "it grew past the " + std::to_string(rules.limit) + " bytes " +
                        (rules.limit == pose_text::kSizeLimit ? "a pose may have" : "it may have") +
                        " while it was read";
    }
  }
  if (!reading.error.empty()) reading = {"", reading.error, {}};
  return reading;
}

// Hard links: the new bytes go to a new file under this name, and the
// file's other names keep the old one, which the note says. Writing them
// into the old file instead would keep its names together, but a failure
// or a kill while they are copied in would leave it half old, half new.
Saving save(const std::string& path, std::string_view bytes, const Calls& calls) {
  std::string target = path;
  if (std::string refusal = followLinks(target); !refusal.empty()) return {refusal, {}, {}};
  const std::string folderPath = folderOf(target);
  const std::string name = nameOf(target);
  // Only a folder is named so.
  if (name.empty() || name == "." || name == "..") return {"it is a folder", {}, {}};
  const Descriptor folder{::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (folder.fd < 0) return {"cannot write in its folder: " + reason(errno), {}, {}};
  struct stat old;
  const bool exists = ::fstatat(folder.fd, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
  if (!exists && errno != ENOENT) return {reason(errno), {}, {}};
  if (exists)
    if (std::string refusal = refusalOf(old, folder.fd, name); !refusal.empty()) return {refusal, {}, {}};
  Saving saving;
  saving.error =
      Saver(calls, folder.fd, folderPath, name, exists ? &old : nullptr).save(bytes, saving.identity);
  if (!saving.error.empty()) {
    saving.identity = {};
  } else if (exists && old.st_nlink > 1) {
    saving.note = "its other names (hard links) keep the old file";
  }
  return saving;
}

std::string write(const std::string& path, std::string_view bytes) { return save(path, bytes).error; }

std::string withExtension(const std::string& path, std::string_view extension) {
  const std::filesystem::path name = std::filesystem::path(path).filename();
  // A path that names a folder ("dir/", "..") stays one, to be refused as such.
  if (name.empty() || name == "." || name == ".." || name.has_extension()) return path;
  return path + std::string(extension);
}

bool hasExtension(const std::string& path, std::string_view extension) {
  const std::string own = std::filesystem::path(path).extension().string();
  return own.size() == extension.size() && strncasecmp(own.c_str(), extension.data(), extension.size()) == 0;
}

bool sameFile(const std::string& a, const std::string& b) {
  const std::optional<Identity> x = identityOf(a), y = identityOf(b);
  if (x || y) return x && y && x->dev == y->dev && x->ino == y->ino;
  std::error_code error;
  return std::filesystem::absolute(a, error).lexically_normal() == std::filesystem::absolute(b, error).lexically_normal();
}

std::string nameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

}  // namespace pose_file
