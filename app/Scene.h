#pragma once

#include <memory>

#include "figure/Figure.h"

// What the program shows and poses: the built-in figure.
struct Scene {
  Scene();

  std::unique_ptr<Figure> figure;
};
