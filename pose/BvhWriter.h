#pragma once

#include <string>

#include "figure/Figure.h"

// The figure's skeleton and current pose as a BVH motion file of one frame,
// as Blender, three.js and other programs read it:
//
//   HIERARCHY
//   ROOT root
//   {
//   	OFFSET 0 0 0
//   	CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation
//   	JOINT h_thigh_left
//   	...
//   MOTION
//   Frames: 1
//   Frame Time: 0.0333333
//   0 0.910000026226 0 0 0 0 ...
//
// One joint per segment that has degrees of freedom, named as the segment,
// in the tree's order; segments without any fold into the joint above. An
// OFFSET is where the joint's frame begins in its parent's, in metres; the
// root's is zero and its place is in its position channels, where programs
// that treat a root's offset differently agree. A leaf's end site is its
// segment's end. Every joint turns by three rotation channels in degrees,
// in ZXY order (Rz * Rx * Ry), or, for a pair of hinges that compose
// otherwise, their own order and the third axis; a hinge's angle is its
// channel's exactly. Numbers are in the C locale, without exponents, the
// shortest text that reads back the same, rounded beyond 12 decimals.
namespace bvh {

struct Writing {
  std::string text;
  std::string error;  // one line: what in the figure BVH cannot hold
};

// Refused: a translation below the root or after a rotation, a hinge about
// no axis, more than two hinges or two about one axis, a quaternion with
// another rotation, a joint of another kind or a fixed transform that is not
// the identity, a leaf that ends where it begins, a value that is not finite.
Writing write(const Figure& figure);

}  // namespace bvh
