#pragma once

#include <array>
#include <optional>

#include "math/Vec3.h"
#include "pose/ReferencePicture.h"

// The camera a pose is looked at through and the reference pictures behind
// it, as a pose file keeps them beside the pose: no part of the pose, so no
// step and no change to save.
struct ViewState {
  // The six exact views, in the order front, back, right, left, top,
  // bottom, then the free camera: each keeps a picture of its own.
  static constexpr int kFree = 6;
  static constexpr int kViews = 7;
  static const char* const kNames[kViews];

  // The orbit: its angles in radians, its signed distance, its centre.
  float pitch = 0.2f;
  float yaw = 1.0f;
  float distance = -20.0f;
  Vec3 center;
  int view = kFree;  // the exact view the camera is at, or kFree
  double fieldOfView = 45.0;  // degrees, vertical
  std::array<std::optional<ReferencePicture>, kViews> pictures;
  bool picturesShown = true;  // b hides and shows them all
};

bool operator==(const ViewState& a, const ViewState& b);
inline bool operator!=(const ViewState& a, const ViewState& b) { return !(a == b); }

// The camera's numbers within what a pose file holds: a figure framed far
// from the origin puts the camera five times as far, in the scene's units.
ViewState withinFileLimits(ViewState state);
