#pragma once

#include "math/Vec3.h"

// A point pinned to one segment of the figure.
struct Handle {
  Vec3 localPos;   // in the carrying segment's frame; never changes
  Vec3 worldPos;   // for the current pose; written by updateHandlePositions
  Vec3 targetPos;  // where the solver pulls it; the origin until dragged

  Handle() = default;
  Handle(float x, float y, float z) : localPos(x, y, z) {}
};

class Segment;

struct HandleEntry {
  Segment* segment;
  Handle* handle;
};
