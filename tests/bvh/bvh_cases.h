#pragma once

#include <random>
#include <string>

#include "figure/Figure.h"

// What the BVH checks share: figures posed at random, and where a reader of
// their BVH export must find each joint, worked out from the figure's own
// frames, not from the file.
namespace bvh_cases {

// Every parameter drawn afresh: hinges within their limits, translations
// within a metre, quaternions of unit length in any direction. The figure's
// limits switch is left as it was.
void poseAtRandom(Figure& figure, std::mt19937& rng);

// JSON: {"joints": [{"name": ..., "origin": [x, y, z], "end": [x, y, z] or
// null}, ...]}, one per joint of the export in its order: where the joint's
// frame begins in the world, and for a leaf where its segment ends.
std::string expectedPositions(const Figure& figure);

// The rigs' joints that stand where the figure's own export puts a joint:
// CMU's, Mixamo's and the figure's segment.
extern const char* const kRigJoints[18][3];

}  // namespace bvh_cases
