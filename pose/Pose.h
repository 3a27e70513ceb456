#pragma once

#include <memory>
#include <string>
#include <vector>

#include "figure/Figure.h"

// A pose for a figure, held apart from it: every segment's joint parameters
// and a set of handles, as a paste or a mirror brings them. Applying it goes
// through the joints, as any pose does.
struct Pose {
  struct Pin {
    Segment* segment;
    Vec3 localPos;
    Vec3 targetPos;
  };

  std::vector<std::vector<double>> params;  // by the segments' pre-order position
  std::vector<Pin> pins;                    // in the figure's handle order
};

// The figure's current pose and handles.
Pose currentPose(const Figure& figure);

// Writes the parameters through the joints (with the figure's limits switch:
// hinges may clamp; quaternions are normalised unless already of unit length
// to within rounding, so that the figure's own pose comes back bit for bit) and replaces the figure's
// handles with the pose's, at their world positions for the new pose. The
// new handle records are returned to the caller, who owns them.
std::vector<std::unique_ptr<Handle>> applyPose(Figure& figure, const Pose& pose);

// The pose reflected in the plane z = 0: each "_left" segment's values go to
// its "_right" partner and back, rotations and translations are reflected
// and handles move to the partner segment. Empty error when it could be made.
struct MirrorResult {
  Pose pose;
  std::string error;  // a segment and its partner whose joints differ
};
MirrorResult mirrorPose(const Figure& figure, const Pose& pose);

// The segment on the other side ("_left" for "_right" and back), or the
// segment itself on the midline.
const Segment* mirrorSegment(const Figure& figure, const Segment* segment);
// A point in a segment's frame reflected into its partner's.
Vec3 mirrorLocal(const Vec3& point);
// A world point reflected in the figure's own plane: through the root, with
// the figure's left, turned as the root is, for its normal.
Vec3 mirrorWorld(const Figure& figure, const Vec3& point);
