#pragma once

#include <memory>

#include "figure/Figure.h"
#include "pose/PoseHistory.h"

// What the program shows and poses: the built-in figure.
struct Scene {
  Scene();

  std::unique_ptr<Figure> figure;
  // The editing steps; the built-in pose with no handles is where it starts.
  PoseHistory history;
};
