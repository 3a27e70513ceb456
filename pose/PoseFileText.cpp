#include "pose/PoseFileText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <vector>

#include "pose/ShownText.h"

namespace pose_file_text {

namespace fs = std::filesystem;

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// The line's words before any comment.
std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i < line.size() && line[i] == '#') break;
    const std::size_t start = i;
    while (i < line.size() && !isBlank(line[i])) ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

template <typename T>
void appendNumber(std::string& out, T value) {
  char buffer[64];
  out += ' ';
  out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

int viewNamed(std::string_view name) {
  for (int i = 0; i < ViewState::kViews; ++i)
    if (name == ViewState::kNames[i]) return i;
  return -1;
}

// The path as the file keeps it: relative when it lies in the folder or below.
std::string keptPath(const std::string& path, const std::string& folder) {
  if (folder.empty()) return path;
  const fs::path relative = fs::path(path).lexically_normal().lexically_relative(fs::path(folder).lexically_normal());
  if (relative.empty() || relative == "." || *relative.begin() == "..") return path;
  return relative.string();
}

std::string wholePath(const std::string& kept, const std::string& folder) {
  if (fs::path(kept).is_absolute()) return fs::path(kept).lexically_normal().string();
  if (folder.empty()) return kept;
  return (fs::path(folder) / kept).lexically_normal().string();
}

// Reads the camera and picture lines of a version-2 text, keeping the first error.
class ViewLines {
 public:
  explicit ViewLines(const std::string& folder_) : folder(folder_) { view.emplace(); }

  // False when the line is not one of these.
  bool take(const std::vector<std::string_view>& w, int lineNumber) {
    if (w[0] != "camera" && w[0] != "picture" && w[0] != "pictures") return false;
    if (!error.empty()) return true;
    line = lineNumber;
    if (w[0] == "camera") camera(w);
    if (w[0] == "picture") picture(w);
    if (w[0] == "pictures") hidden(w);
    return true;
  }

  std::optional<ViewState> view;
  std::string error;
  bool cameraSeen = false;

 private:
  void fail(const std::string& what) { error = "line " + std::to_string(line) + ": " + what; }

  bool number(std::string_view token, double& value) {
    if (pose_text::readNumber(token, value)) return true;
    fail(quotedToken(token) + " is not a finite number of magnitude at most " +
         std::to_string(int(pose_text::kValueLimit)));
    return false;
  }
  // As the writer's shortest text of a float reads back to that float.
  bool number(std::string_view token, float& value) {
    double wide = 0;
    if (!number(token, wide)) return false;
    if (token[0] == '+') token.remove_prefix(1);
    const auto read = std::from_chars(token.data(), token.data() + token.size(), value);
    if (read.ec != std::errc() || read.ptr != token.data() + token.size()) value = static_cast<float>(wide);
    return true;
  }

  int side(std::string_view name) {
    const int i = viewNamed(name);
    if (i < 0) fail("unknown view " + quotedToken(name) + " (front, back, right, left, top, bottom or free)");
    return i;
  }

  void camera(const std::vector<std::string_view>& w) {
    if (cameraSeen) return fail("the camera is given twice");
    if (w.size() != 9) return fail("a camera line is: camera VIEW and seven numbers, not " + std::to_string(w.size() - 1) + " words");
    cameraSeen = true;
    ViewState& v = *view;
    float c[3];
    if ((v.view = side(w[1])) < 0 || !number(w[2], v.pitch) || !number(w[3], v.yaw) || !number(w[4], v.distance) ||
        !number(w[5], c[0]) || !number(w[6], c[1]) || !number(w[7], c[2]) || !number(w[8], v.fieldOfView))
      return;
    v.center = Vec3(c[0], c[1], c[2]);
    if (!(v.fieldOfView >= 15 && v.fieldOfView <= 90)) fail("the field of view is from 15 to 90 degrees");
  }

  void picture(const std::vector<std::string_view>& w) {
    if (w.size() != 7) return fail("a picture line is: picture VIEW OPACITY X Y SIZE \"PATH\", not " + std::to_string(w.size() - 1) + " words");
    const int at = side(w[1]);
    if (at < 0) return;
    if (view->pictures[at]) return fail("the " + std::string(ViewState::kNames[at]) + " view's picture is given twice");
    ReferencePicture p;
    int opacity = -1;
    const auto read = std::from_chars(w[2].data(), w[2].data() + w[2].size(), opacity);
    if (read.ec != std::errc() || read.ptr != w[2].data() + w[2].size() || opacity < 0 || opacity > 100)
      return fail("the opacity " + quotedToken(w[2]) + " is not a whole number from 0 to 100");
    p.opacity = opacity;
    if (!number(w[3], p.x) || !number(w[4], p.y) || !number(w[5], p.size)) return;
    if (std::fabs(p.x) > kPlaceLimit || std::fabs(p.y) > kPlaceLimit)
      return fail("a picture's place is at most " + std::to_string(int(kPlaceLimit)) + " views from the centre");
    if (!(p.size > 0 && p.size <= kSizeLimit))
      return fail("a picture's size is above 0 and at most " + std::to_string(int(kSizeLimit)) + " view heights");
    std::string path;
    if (!unquotedWhole(w[6], path) || path.empty() || path.size() > kPathLimit || path.find('\0') != std::string::npos)
      return fail("the picture's file " + quotedToken(w[6]) + " is not a quoted, escaped path of 1 to " +
                  std::to_string(kPathLimit) + " bytes");
    p.path = wholePath(path, folder);
    view->pictures[at] = std::move(p);
  }

  void hidden(const std::vector<std::string_view>& w) {
    if (w.size() != 2 || w[1] != "hidden") return fail("the line is: pictures hidden");
    view->picturesShown = false;
  }

  const std::string& folder;
  int line = 0;
};

}  // namespace

std::string write(const Figure& figure, const ViewState& view, const std::string& folder) {
  std::string text = pose_text::write(figure);
  // The header's version: its first line is the version-1 header.
  text.replace(0, text.find('\n'), std::string(pose_text::kHeader) + " " + std::to_string(kVersion));
  text += std::string("camera ") + ViewState::kNames[std::clamp(view.view, 0, ViewState::kFree)];
  for (float v : {view.pitch, view.yaw, view.distance, view.center.x, view.center.y, view.center.z})
    appendNumber(text, v);
  appendNumber(text, view.fieldOfView);
  text += '\n';
  for (int i = 0; i < ViewState::kViews; ++i) {
    if (!view.pictures[i]) continue;
    const ReferencePicture& p = *view.pictures[i];
    text += std::string("picture ") + ViewState::kNames[i] + " " + std::to_string(p.opacity);
    for (double v : {p.x, p.y, p.size}) appendNumber(text, v);
    text += " " + quotedWhole(keptPath(p.path, folder)) + "\n";
  }
  if (!view.picturesShown) text += "pictures hidden\n";
  return text;
}

Reading read(const Figure& figure, std::string_view text, const std::string& folder) {
  Reading reading;
  if (std::string refusal = pose_text::sizeRefusal(text.size()); !refusal.empty()) return {{}, {}, refusal};
  std::string body(text);
  // The version-1 reader is given the pose alone, every line where it was.
  ViewLines lines(folder);
  bool headerSeen = false, second = false;
  int lineNumber = 0;
  for (std::size_t start = 0; start < body.size(); start = std::min(body.find('\n', start), body.size()) + 1) {
    const std::size_t end = std::min(body.find('\n', start), body.size());
    ++lineNumber;
    std::string_view line(body.data() + start, end - start);
    if (lineNumber == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    const std::vector<std::string_view> w = words(line);
    if (w.empty()) continue;
    if (!headerSeen) {
      headerSeen = true;
      const bool ours = w.size() >= 3 && w[0] == "mannequin" && w[1] == "pose";
      const std::string here = "line " + std::to_string(lineNumber) + ": ";
      if (ours && w[2] != "1" && w[2] != std::to_string(kVersion))
        return {{}, {}, here + "unknown version " + quotedToken(w[2]) + " of the pose format (this program reads 1 and 2)"};
      if (!ours || w[2] == "1") break;  // version 1's reader says all
      if (w.size() > 3) return {{}, {}, here + "unexpected " + quotedToken(w[3]) + " after the version"};
      second = true;
      body[static_cast<std::size_t>(w[2].data() - body.data())] = '1';
    } else if (lines.take(w, lineNumber)) {
      std::fill(body.begin() + static_cast<long>(start), body.begin() + static_cast<long>(end), ' ');
    }
  }
  if (second && lines.error.empty() && !lines.cameraSeen)
    lines.error = "after line " + std::to_string(lineNumber) + ": a version-2 pose has no camera line";
  if (!lines.error.empty()) return {{}, {}, lines.error};
  pose_text::Reading pose = pose_text::read(figure, body);
  if (!pose.error.empty()) return {{}, {}, pose.error};
  reading.pose = std::move(pose.pose);
  if (second) reading.view = std::move(lines.view);
  return reading;
}

pose_text::Writing checkedWrite(const Figure& figure, const ViewState& view, const std::string& folder) {
  pose_text::Writing writing{write(figure, view, folder), ""};
  writing.error = read(figure, writing.text, folder).error;
  if (!writing.error.empty()) writing.text.clear();
  return writing;
}

pose_text::Pasting paste(Figure& figure, std::string_view text, bool mirrored) {
  Reading reading = read(figure, text, "");
  if (!reading.error.empty()) return {reading.error, {}};
  return pose_text::paste(figure, std::move(reading.pose), mirrored);
}

}  // namespace pose_file_text
