#pragma once

#include <optional>
#include <string>

#include "pose/FigureState.h"
#include "pose/PoseFile.h"

// The file a pose belongs to, and its state as last opened from or saved to
// it. Every step between one open and the next shares one, so that a save
// names the file of all of them, and only undoing an open brings another.
struct FileInPlay {
  std::string path;   // empty: untitled
  FigureState saved;  // the pose the file holds; for an untitled pose, the start
  // The file on disk as last read or written here: another program's save
  // since then changes it.
  std::optional<pose_file::Identity> identity;
};
