#pragma once

#include <vector>

// An 8-bit picture as GL reads it: rows from the bottom up, each pixel RGB,
// or RGBA when the background is transparent.
struct Picture {
  int width = 0;
  int height = 0;
  int channels = 3;
  std::vector<unsigned char> pixels;

  bool empty() const { return pixels.empty(); }
};
