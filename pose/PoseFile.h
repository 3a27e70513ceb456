#pragma once

#include <string>
#include <string_view>

#include "pose/PoseText.h"

// Files of a pose's text, as Ctrl+C copies it, and of pictures of it: read
// whole or not at all, and written so that no failure can damage the file
// that was there before.
namespace pose_file {

constexpr std::string_view kExtension = ".pose";

struct Reading {
  std::string text;
  std::string error;  // empty when the text was read
};
// The file's text. A folder, a file that is not a regular one, and one
// larger than a pose may be (judged before anything is read) are refused.
Reading read(const std::string& path);

// Replaces the file's bytes: they are written to a new file in the same
// folder, flushed to the disk, then renamed over the old one. On any failure
// the old file is untouched, no new file is left behind, and the error says
// why; empty when the bytes were written.
std::string write(const std::string& path, std::string_view bytes);

// The path with the extension added when its name has none at all.
std::string withExtension(const std::string& path, std::string_view extension = kExtension);

// The file's name without its folders.
std::string nameOf(const std::string& path);

// Opens the file's pose on the figure, all or nothing, as a paste does.
pose_text::Pasting open(Figure& figure, const std::string& path);

}  // namespace pose_file
