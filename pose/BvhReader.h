#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>

#include "pose/Pose.h"

// A pose from one frame of a BVH motion file whose skeleton is the figure's,
// as bvh::write lays it out: the same joint names under the same parents,
// with offsets within kOffsetSlack. The rotation channels may come in any
// order and with any precision: each joint's are composed in the file's
// order and broken down into the joint's own axes. Where they come in the
// order bvh::write gives, a hinge's angle is its channel's, beyond +-180
// degrees too.
namespace bvh {

// A file beyond this size is not read at all: room for thousands of frames.
constexpr std::size_t kSizeLimit = std::size_t{64} << 20;
// How far, in metres, an offset may be from the figure's.
constexpr double kOffsetSlack = 1e-4;
// How far a joint may be turned, in radians, or a root that cannot move
// moved, in metres, beyond what it can hold.
constexpr double kRemainderSlack = 1e-6;
// Every number's magnitude is at most this; numbers are read as the pose
// text reads them (pose_text::readNumber), one too small to hold as zero.
constexpr double kValueLimit = 1e6;

// Why a file of this many bytes is not read; empty when it may be.
std::string sizeRefusal(std::uintmax_t bytes);

struct Reading {
  Pose pose;          // every segment's parameters, no pins
  long frames = 0;    // how many the file has
  std::string error;  // one line, with a line number where one applies
};

// Reads the whole file, streaming it: every frame is checked, the one asked
// for (counted from 1) is kept. All or nothing: when anything is wrong, the
// pose is empty and error says what. What a joint cannot hold is refused
// whatever its limits; applying the pose (applyPose) then clamps as a paste
// does.
Reading read(const Figure& figure, std::istream& in, int frame = 1);

}  // namespace bvh
