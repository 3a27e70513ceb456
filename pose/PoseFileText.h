#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "pose/PoseText.h"
#include "pose/ViewState.h"

// A pose file's text: the pose, and the camera it was posed through with
// the reference pictures behind it. Version 2 is a version-1 text (see
// PoseText.h) under the header "mannequin pose 2", with these lines after
// the pose:
//
//   camera VIEW PITCH YAW DISTANCE CX CY CZ FIELD_OF_VIEW
//   picture VIEW OPACITY X Y SIZE "PATH"
//   pictures hidden
//
// VIEW is front, back, right, left, top, bottom or free. The camera line
// comes once: the orbit's angles in radians, its signed distance and
// centre, and the lens in degrees (15 to 90). A picture line, at most one a
// view: its opacity in percent (0 to 100), its centre's place from the
// view's centre in shares of the view's width and height (at most
// kPlaceLimit each way), its height in view heights (above 0, at most
// kSizeLimit), and its file (no NUL byte, at most kPathLimit bytes), escaped whole (ShownText.h's quotedWhole):
// relative to the pose file's folder when it lies in it or below it,
// otherwise absolute. "pictures hidden" says that b hid them. A version-1
// text reads as before, with no camera; the clipboard, --pose and the
// pictures' pose chunk carry version 1 alone, and version 1's reader
// refuses version 2 with its usual line.
namespace pose_file_text {

constexpr int kVersion = 2;
constexpr double kPlaceLimit = ReferencePicture::kPlaceLimit;
constexpr double kSizeLimit = ReferencePicture::kLargest;
constexpr std::size_t kPathLimit = 4096;

// Version 2 with the view's lines; folder, the pose file's (absolute, or
// empty for none), makes the pictures' paths below it relative.
std::string write(const Figure& figure, const ViewState& view, const std::string& folder);

// A version-1 or version-2 text: the pose, the view when the text has one
// (its pictures' paths made whole against folder, and normal), or an error naming what
// and on which line.
struct Reading {
  Pose pose;
  std::optional<ViewState> view;
  std::string error;
};
Reading read(const Figure& figure, std::string_view text, const std::string& folder);

// Pastes a version-1 or version-2 text's pose as pose_text::paste does; a
// version-2 text's camera and pictures stay out, so a paste never moves
// the view.
pose_text::Pasting paste(Figure& figure, std::string_view text, bool mirrored);

// The text, or why it would not read back as it is (the text is then empty).
pose_text::Writing checkedWrite(const Figure& figure, const ViewState& view, const std::string& folder);

}  // namespace pose_file_text
