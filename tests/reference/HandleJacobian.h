#pragma once

#include <vector>

#include "figure/Handle.h"
#include "math/Mat4.h"
#include "math/Vec3.h"

// The derivatives of one handle's position, made by one gradient evaluation.
struct HandleJacobian {
  int weightRow;  // the carrying segment's index
  Handle* handle;
  std::vector<Mat4> dofDerivatives;  // d world / d DOF k for every DOF k
  Mat4 world;                        // the carrying segment's world matrix
  Vec3 localPos;
};
