#pragma once

#include <vector>

#include "math/Vec3.h"

class Figure;
class Segment;

// Turning one segment about its own joint by a rotation about a direction
// of the world (the view's up or right, say).
//
// A ball joint takes the whole rotation, about the joint's centre; the root's
// takes it about the root, so the whole figure turns. Hinges take only their
// share: the rotation projected onto their axes, by least squares when a
// joint has several. The new parameters are written through the figure, so
// its limits hold when on. Pins are not looked at: to hold them while the
// joint stays turned, solve with the joint's DOFs fixed (FixedDofs, or the
// firm pass's mask).
class JointTurn {
 public:
  // Turns s by `angle` radians about `axis` (any length but zero); false,
  // with nothing changed, when its joint has no rotation to turn.
  static bool turn(Figure& figure, const Segment& s, const Vec3& axis, double angle);

  // One flag per DOF of the figure, set for those of s's own joint.
  static std::vector<unsigned char> dofsOf(const Figure& figure, const Segment& s);
};
