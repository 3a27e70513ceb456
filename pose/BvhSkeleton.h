#pragma once

#include <array>
#include <string>
#include <vector>

#include "figure/Figure.h"
#include "pose/BvhRotation.h"

// The figure as a BVH file lays it out: one joint per segment that has
// degrees of freedom, and the root. A segment without any folds into the
// joint above it, its length added to its children's offsets.
namespace bvh {

enum class Turn { None, Quaternion, Hinge, HingePair };

struct Joint {
  const Segment* segment = nullptr;
  int segmentIndex = 0;  // in the figure's pre-order
  int parent = -1;       // the joint above, by index; -1 for the root
  bool leaf = true;      // no joint below: an end site gives the segment's end
  // Where the joint's frame begins in its parent joint's; the root's is
  // zero, its place being in its position channels.
  std::array<double, 3> offset{};
  int translation = -1;  // the root's: its first parameter, or -1
  Turn turn = Turn::None;
  int turnParam = 0;      // the quaternion's first parameter, or the first hinge's
  int secondParam = 0;    // the second hinge's
  int axes[2] = {0, -1};  // the hinges' axes in the order they compose
  Axes order{2, 0, 1};    // the rotation channels this program writes: ZXY
                          // unless the hinges compose otherwise
};

struct Skeleton {
  std::vector<Joint> joints;  // in the tree's pre-order
  std::string error;          // one line: why the figure has no BVH skeleton
};

Skeleton skeletonOf(const Figure& figure);

}  // namespace bvh
