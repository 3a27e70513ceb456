#pragma once

#include <array>

#include "math/Quat.h"

// Rotations as BVH channels give them: turns about the coordinate axes
// (0 = x, 1 = y, 2 = z), composed in the channels' order, so that the
// channels a b c stand for the matrix Ra * Rb * Rc. All in double precision
// and radians, on unit quaternions.
namespace bvh {

using Axes = std::array<int, 3>;

Quat axisTurn(int axis, double radians);

// The angle in [0, pi] by which a unit quaternion turns.
double turnAngle(const Quat& q);

// The angles a, b, c with Ra(a) * Rb(b) * Rc(c) = q for the axes order, b in
// [-pi/2, pi/2]; where b is +-pi/2 any split of the other two does, and c
// takes up what a leaves.
std::array<double, 3> eulerAngles(const Quat& q, const Axes& order);

// The hinges' angles closest to q: Ra(first) * Rb(second), or Ra(first)
// alone when secondAxis is -1, and the angle of the turn that they leave.
struct HingeAngles {
  double first = 0.0;
  double second = 0.0;
  double remaining = 0.0;
};
HingeAngles hingeAngles(const Quat& q, int firstAxis, int secondAxis);

}  // namespace bvh
