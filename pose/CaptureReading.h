#pragma once

#include <istream>

#include "pose/BvhReader.h"

// A frame of any BVH file the figure can take: of its own skeleton read by
// bvh::read exactly as ever, of another family's fitted (capture::fit).
namespace capture {

// All or nothing, as bvh::read; frames counts the file's.
bvh::Reading readFrame(const Figure& figure, std::istream& in, int frame = 1);

}  // namespace capture
