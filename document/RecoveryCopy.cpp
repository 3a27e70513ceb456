#include "document/RecoveryCopy.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "document/PoseDocument.h"
#include "pose/PoseFile.h"
#include "pose/PoseText.h"

namespace {

namespace fs = std::filesystem;

// The copy's first line names the file the pose belongs to, in hex, so that
// any name survives; the pose's own text follows.
constexpr std::string_view kHeader = "# mannequin recovery copy of: ";

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) out += {digits[c >> 4], digits[c & 15]};
  return out;
}

// False when the text is not pairs of hex digits.
bool unhex(std::string_view text, std::string& out) {
  const auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
  if (text.size() % 2) return false;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = digit(text[i]), low = digit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    out += static_cast<char>(high * 16 + low);
  }
  return true;
}

// A lock nobody else holds, taken; -1 when another program holds it.
int takeLock(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
  if (fd >= 0) ::close(fd);
  return -1;
}

struct Orphan {
  std::string stem;
  int lock = -1;
  std::string path;  // of the file the pose belongs to
  std::string text;  // the pose
  fs::file_time_type when;
};

// The copy's file and pose, when it reads as one.
bool readCopy(const std::string& path, Orphan& orphan) {
  std::ifstream in(path, std::ios::binary);
  std::string header;
  if (!std::getline(in, header) || header.compare(0, kHeader.size(), kHeader) != 0) return false;
  if (!unhex(std::string_view(header).substr(kHeader.size()), orphan.path)) return false;
  orphan.text.assign(std::istreambuf_iterator<char>(in), {});
  std::error_code error;
  orphan.when = fs::last_write_time(path, error);
  return !error;
}

}  // namespace

std::string RecoveryCopy::folder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && *state == '/') return std::string(state) + "/mannequin";
  const char* home = std::getenv("HOME");
  return home && *home ? std::string(home) + "/.local/state/mannequin" : "";
}

RecoveryCopy::RecoveryCopy(std::string folder) : home(std::move(folder)) {}

RecoveryCopy::~RecoveryCopy() {
  if (!abandoned) release();
  if (lock >= 0) ::close(lock);
}

void RecoveryCopy::abandon() {
  abandoned = true;
  if (written.empty()) release();
}

void RecoveryCopy::release() {
  if (name.empty()) return;
  ::unlink((home + "/" + name + ".pose").c_str());
  ::unlink((home + "/" + name + ".lock").c_str());
}

Outcome RecoveryCopy::recoverInto(PoseDocument& document, const std::optional<std::string>& file) {
  std::error_code error;
  Orphan chosen;
  for (const fs::directory_entry& entry : fs::directory_iterator(home, error)) {
    if (entry.path().extension() != ".lock") continue;
    Orphan orphan;
    orphan.stem = entry.path().stem().string();
    orphan.lock = takeLock(entry.path().string());
    if (orphan.lock < 0) continue;
    const bool readable = readCopy(home + "/" + orphan.stem + ".pose", orphan);
    const bool fits = readable && (!file || (!orphan.path.empty() && pose_file::sameFile(orphan.path, *file)));
    if (fits && (chosen.lock < 0 || orphan.when > chosen.when)) std::swap(chosen, orphan);
    // A lock left with no copy beside it is a leftover of a clean-up cut short.
    if (!readable) ::unlink(entry.path().c_str());
    if (orphan.lock >= 0) ::close(orphan.lock);
  }
  if (chosen.lock < 0) return {};
  // The orphan is this program's copy from now on.
  lock = chosen.lock;
  name = chosen.stem;
  const Outcome outcome = document.recover(chosen.text, chosen.path);
  if (outcome.refused) {
    // Kept aside, not deleted: a person may still want what it holds.
    const std::string stem = home + "/" + name;
    ::rename((stem + ".pose").c_str(), (stem + ".refused").c_str());
    ::unlink((stem + ".lock").c_str());
    ::close(lock);
    lock = -1;
    name.clear();
  }
  keep(document);
  return outcome;
}

bool RecoveryCopy::claim(const std::string& stem) {
  if (lock >= 0) return true;
  std::error_code error;
  fs::create_directories(home, error);
  ::chmod(home.c_str(), 0700);
  std::string path = home + "/" + stem + "XXXXXX.lock";
  const int fd = ::mkostemps(path.data(), 5, O_CLOEXEC);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    ::unlink(path.c_str());
    return false;
  }
  lock = fd;
  name = fs::path(path).stem().string();
  return true;
}

void RecoveryCopy::keep(const PoseDocument& document) {
  if (home.empty()) return;
  if (!document.modified()) {
    if (!written.empty()) ::unlink((home + "/" + name + ".pose").c_str());
    written.clear();
    return;
  }
  const std::string text = std::string(kHeader) + hex(document.path()) + "\n" + pose_text::write(document.figure());
  if (text == written || !claim("copy-")) return;
  // Written as a pose file is: a failure leaves the last copy whole.
  if (pose_file::write(home + "/" + name + ".pose", text).empty()) written = text;
}
