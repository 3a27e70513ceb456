#pragma once

#include <memory>

#include "figure/Figure.h"
#include "pose/PoseFile.h"
#include "pose/PoseHistory.h"

// What the program shows and poses: the built-in figure.
struct Scene {
  Scene();

  std::unique_ptr<Figure> figure;
  // The editing steps; the built-in pose with no handles is where it starts.
  PoseHistory history;
  // The file the pose was last opened from or saved to; none at first.
  pose_file::Kept kept;
};
