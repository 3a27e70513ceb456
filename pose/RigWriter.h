#pragma once

#include <optional>
#include <string>

#include "figure/Figure.h"
#include "pose/BvhWriter.h"

// The figure's pose as a BVH file of another rig's skeleton, for programs
// that retarget from it: the family's joint names, a T-pose rest (arms out
// along +-X, legs down, facing +Z) with offsets from the figure's own
// proportions, and rotations against that rest, so that every joint lands
// where the figure's own export puts it, turned to face +Z. Joints the family
// has and the figure lacks (a hip joint, a lower back, a toe) lie along the
// figure's segments and turn with them.
//
// A bone's twist: at rest each bone's frame is its segment's frame in the
// figure's T-pose (every hinge at zero, the collarbones out and up to the
// shoulders, the upper arms straight out), turned to face +Z; its rotation
// is the segment's turn from there.
namespace rig {

enum class Family { Cmu, Mixamo };

// "cmu" or "mixamo".
std::optional<Family> familyNamed(const std::string& name);

// Refused as bvh::write refuses, and for a figure without the segments a
// rig needs.
bvh::Writing write(const Figure& figure, Family family);

}  // namespace rig
