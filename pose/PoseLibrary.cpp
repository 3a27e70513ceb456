#include "pose/PoseLibrary.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <tuple>

#include "pose/PosePicture.h"
#include "pose/PoseText.h"

namespace fs = std::filesystem;

namespace {

bool isPicture(const fs::directory_entry& entry) {
  std::error_code error;
  return entry.is_regular_file(error) && entry.path().extension() == ".png";
}

// A picture without a pose is none of the library's; any other refusal
// makes it a broken one, and so does a pose that is not of the figure.
void take(const Figure& figure, const fs::path& path, const std::string& group,
          std::vector<pose_library::Entry>& out) {
  std::ifstream in(path, std::ios::binary);
  const pose_picture::Reading reading = pose_picture::read(in);
  if (reading.error.rfind("the picture holds no pose", 0) == 0) return;
  const std::string broken = reading.error.empty() ? pose_text::read(figure, reading.text).error : reading.error;
  out.push_back({path.stem().string(), path, group, broken});
}

// A folder that cannot be read, wholly or from some entry on, gives what
// it could: the range-for's increment would throw instead.
template <class Visit>
void eachEntry(const fs::path& folder, Visit visit) {
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) visit(*it);
}

void listFolder(const Figure& figure, const fs::path& folder, const std::string& group,
                std::vector<pose_library::Entry>& out) {
  eachEntry(folder, [&](const fs::directory_entry& entry) {
    if (isPicture(entry)) take(figure, entry.path(), group, out);
  });
}

}  // namespace

namespace pose_library {

fs::path ownFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  // The XDG rule: a relative path is to be ignored.
  if (data && data[0] == '/') return fs::path(data) / "mannequin" / "poses";
  const char* home = std::getenv("HOME");
  return fs::path(home ? home : "") / ".local" / "share" / "mannequin" / "poses";
}

fs::path programFolder() {
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  const fs::path build = MANNEQUIN_BUILD_DIR;
  const auto end = std::mismatch(build.begin(), build.end(), exe.begin(), exe.end()).first;
  if (!error && end == build.end()) return MANNEQUIN_SOURCE_POSES;
  // Installed: PREFIX/bin/mannequin beside PREFIX/share, whatever the prefix.
  return exe.parent_path().parent_path() / MANNEQUIN_DATADIR / "mannequin" / "poses";
}

std::vector<Entry> list(const Figure& figure, const fs::path& folder, bool groups) {
  std::vector<Entry> entries;
  listFolder(figure, folder, "", entries);
  if (groups) {
    eachEntry(folder, [&](const fs::directory_entry& entry) {
      std::error_code error;
      const std::string name = entry.path().filename().string();
      if (entry.is_directory(error) && name[0] != '.') listFolder(figure, entry.path(), name, entries);
    });
  }
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return std::tie(a.group, a.name) < std::tie(b.group, b.name); });
  return entries;
}

std::vector<Shelf> shelves(const Figure& figure) {
  return {{"poses that come with mannequin", programFolder(), false, list(figure, programFolder(), false)},
          {"your poses", ownFolder(), true, list(figure, ownFolder(), true)}};
}

std::string nameRefusal(const std::string& name) {
  if (name.empty()) return "a pose needs a name";
  if (name.find('/') != std::string::npos || name.find('\0') != std::string::npos) return "a name has no '/'";
  if (name[0] == '.') return "a name does not begin with '.'";
  // With ".png", within what a file name may hold on every file system here.
  if (name.size() > 250) return "a name has at most 250 bytes";
  return "";
}

fs::path pathFor(const fs::path& folder, const std::string& group, const std::string& name) {
  return (group.empty() ? folder : folder / group) / (name + ".png");
}

}  // namespace pose_library
