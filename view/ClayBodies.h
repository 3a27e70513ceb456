#pragma once

#include <vector>

#include "math/Mat4.h"

class Figure;
class Segment;

// The solids of the clay look, in the figure's own frame (before the view's
// scale): every body's ellipsoid, a ball at each joint so that no gap opens
// between two bodies, and the parts that tell which way the figure faces (a
// nose, a thumb on each hand, a heel and a toe on each foot). Computed from
// the figure alone, without GL.
struct ClayBody {
  Mat4 ellipsoid;  // maps the ball of radius 0.5 onto the solid
  const Segment* segment = nullptr;  // the body it belongs to, lit with it
};

std::vector<ClayBody> clayBodies(const Figure& figure);

// The height of the lowest point of the solids: where the floor lies.
float lowestPoint(const std::vector<ClayBody>& bodies);
// The solid's centre, and its half extent along the frame's axis (0, 1, 2).
Vec3 centreOf(const ClayBody& body);
float halfExtent(const ClayBody& body, int axis);
