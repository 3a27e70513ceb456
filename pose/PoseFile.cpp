#include "pose/PoseFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pose_file {

namespace {

std::string reason(int error) { return std::strerror(error); }

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Closes the descriptor when it goes out of scope.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

// Reads up to limit + 1 bytes: enough to tell a file that grew past the limit.
std::string readUpTo(int fd, std::size_t limit, std::string& error) {
  std::string text(limit + 1, '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
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

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// A new file's mode: the old file's, or what the umask leaves of rw-rw-rw-.
mode_t modeFor(const struct stat* old) {
  if (old) return old->st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Writes the bytes to the temporary file and makes them durable; false with
// errno set on failure.
bool fill(int fd, std::string_view bytes, mode_t mode) {
  return ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
}

}  // namespace

Reading read(const std::string& path) {
  Reading reading;
  // Not blocking: a named pipe is refused below instead of waited on.
  const Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  struct stat st;
  if (file.fd < 0 || ::fstat(file.fd, &st) != 0) {
    reading.error = reason(errno);
  } else if (S_ISDIR(st.st_mode)) {
    reading.error = "it is a folder";
  } else if (!S_ISREG(st.st_mode)) {
    reading.error = "it is not a regular file";
  } else if (std::string refusal = pose_text::sizeRefusal(static_cast<std::size_t>(st.st_size)); !refusal.empty()) {
    reading.error = refusal;
  } else {
    reading.text = readUpTo(file.fd, pose_text::kSizeLimit, reading.error);
    if (reading.error.empty()) reading.error = pose_text::sizeRefusal(reading.text.size());
  }
  if (!reading.error.empty()) reading.text.clear();
  return reading;
}

std::string write(const std::string& path, std::string_view bytes) {
  struct stat old;
  const bool exists = ::stat(path.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) return "it is a folder";
  std::string temporary = folderOf(path) + "/." + nameOf(path) + ".XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return "cannot write in its folder: " + reason(errno);
  const bool filled = fill(fd, bytes, modeFor(exists ? &old : nullptr));
  int error = errno;
  const bool closed = ::close(fd) == 0;
  if (filled && !closed) error = errno;
  if (filled && closed && ::rename(temporary.c_str(), path.c_str()) == 0) {
    // The rename itself reaches the disk with the folder.
    const Descriptor folder{::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folder.fd >= 0) ::fsync(folder.fd);
    return "";
  }
  if (filled && closed) error = errno;
  ::unlink(temporary.c_str());
  return reason(error);
}

std::string withExtension(const std::string& path, std::string_view extension) {
  const std::string name = nameOf(path);
  if (name.find('.', 1) != std::string::npos) return path;
  return path + std::string(extension);
}

std::string nameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

pose_text::Pasting open(Figure& figure, const std::string& path) {
  const Reading reading = read(path);
  if (!reading.error.empty()) return {reading.error, {}};
  return pose_text::paste(figure, reading.text, false);
}

}  // namespace pose_file
