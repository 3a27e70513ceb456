#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "figure/Pose.h"

// A pose as text that a person can read and edit, as the clipboard carries it:
//
//   mannequin pose 1
//   root 0 0.9100000262260437 0 0 0 0 1
//   h_pelvis_up
//   ...
//   handle h_hand_left 0 -0.18 0 -0.36 1.03 0.65
//
// Line 1 names the format and its version. Then one line per segment: its
// name and its joint's parameters in the figure's DOF order (the figure's
// pre-order when written; any order when read, each segment exactly once).
// Then one line per handle: its segment, its local point and its target.
// Blank lines and lines that start with '#' are ignored. Numbers are in the
// C locale, the shortest text that reads back to the same double (joint
// parameters) or float (handle points).
namespace pose_text {

constexpr std::string_view kHeader = "mannequin pose";
constexpr int kVersion = 1;
// Text beyond this size is not read at all.
constexpr std::size_t kSizeLimit = 65536;
// Every number must be finite and no larger in magnitude than this.
constexpr double kValueLimit = 1e6;
// A quaternion shorter than this has no direction to normalise to.
constexpr double kShortestQuaternion = 1e-6;

std::string write(const Figure& figure);

// The pose the text gives for this figure, or, when anything in it is wrong,
// an error naming what and on which line (the pose is then not to be used).
struct Reading {
  Pose pose;
  std::string error;
};
Reading read(const Figure& figure, std::string_view text);

}  // namespace pose_text
