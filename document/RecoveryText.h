#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "pose/PoseFile.h"
#include "pose/PoseText.h"

// A recovery copy's text: comment lines that name the file the pose belongs
// to (in hex, so that any name survives) and, when known, what that file was
// as last opened or saved here; then the pose's own text. The pose's text
// ignores comment lines, so a copy reads as a pose too.
namespace recovery_text {

// The lines before the pose, at most: a file's name takes two hex digits a
// byte, and a path has at most 4096 bytes.
constexpr std::size_t kHeaderLimit = 16384;
// A copy larger than this is not read at all.
constexpr std::size_t kSizeLimit = pose_text::kSizeLimit + kHeaderLimit;

std::string write(const std::string& path, const std::optional<pose_file::Identity>& identity,
                  std::string_view pose);

struct Copy {
  std::string path;  // of the file the pose belongs to; empty: untitled
  // The file as last opened or saved; none when the copy does not say, and
  // all zeros, which matches no file, when it says so garbled.
  std::optional<pose_file::Identity> identity;
  std::string pose;
  std::string error;  // empty when the text is a copy's
};
Copy read(std::string_view text);

}  // namespace recovery_text
