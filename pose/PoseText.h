#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "figure/PoseLimits.h"
#include "pose/Pose.h"

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
// Blank lines are ignored, and so is a '#' at a line's start or after a
// blank, with the rest of its line, and a byte-order mark at the text's
// start. Numbers are in the C locale, the shortest text that reads back to
// the same double (joint parameters) or float (handle points).
// A pose file's version 2 adds the camera and the reference pictures to
// this text: see PoseFileText.h.
namespace pose_text {

constexpr std::string_view kHeader = "mannequin pose";
constexpr int kVersion = 1;
// Text beyond this size is not read at all.
constexpr std::size_t kSizeLimit = 65536;
// Every number must be finite and, as written, no larger in magnitude than
// this, 10 to the power kValueLimitOrder. A number too small to hold reads as
// zero of its sign.
constexpr double kValueLimit = pose_limits::kValue;
constexpr long kValueLimitOrder = pose_limits::kValueOrder;
// A quaternion shorter than this has no direction to normalise to.
constexpr double kShortestQuaternion = 1e-6;
// At most this many handle lines.
constexpr std::size_t kHandleLimit = 1000;

std::string write(const Figure& figure);

// The whole token as a number as the text reads one: finite and, as
// written, within kValueLimit; too small to hold, zero of its sign. False
// for anything else.
bool readNumber(std::string_view token, double& value);

// The figure's text, or why it would not read back (the text is then
// empty): a pose gone beyond what a file holds is never written, copied or
// kept, for the program itself would refuse it.
struct Writing {
  std::string text;
  std::string error;
};
Writing checkedWrite(const Figure& figure);

// Why a text of this many bytes is not read; empty when it may be.
std::string sizeRefusal(std::size_t bytes);

// The pose the text gives for this figure, or, when anything in it is wrong,
// an error naming what and on which line (the pose is then not to be used).
struct Reading {
  Pose pose;
  std::string error;
};
Reading read(const Figure& figure, std::string_view text);

// Pastes the text's pose, mirrored when asked, all or nothing: when anything
// is wrong, error says what and the figure is untouched; otherwise the pose
// is applied and its new handle records are returned, the caller's to own.
struct Pasting {
  std::string error;
  std::vector<std::unique_ptr<Handle>> records;
};
Pasting paste(Figure& figure, std::string_view text, bool mirrored);
// The same for a pose already read.
Pasting paste(Figure& figure, Pose pose, bool mirrored);

}  // namespace pose_text
