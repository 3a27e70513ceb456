#pragma once

#include <optional>

#include "math/Vec3.h"
#include "pose/ViewState.h"

enum CameraMode { Inactive = 0, Pan = 1, Rotate = 2, Zoom = 3 };

// Orbits a centre of interest at a signed distance; Shift-drags in the view
// rotate, pan and zoom it.
class OrbitCamera {
 public:
  OrbitCamera();

  // Derives eye and up from the angles, the distance and the centre.
  void recompute();
  // Multiplies the look-at matrix into the current GL matrix.
  void apply();

  void begin(int mode, int x, int y);
  // One motion step in toolkit window coordinates (y down); traces the motion.
  void drag(int x, int y);
  void end(int x, int y);

  // The lens: the vertical field of view in degrees, from kNarrowest to
  // kWidest in steps of kLensStep.
  static constexpr double kStartFieldOfView = 45.0;
  static constexpr double kNarrowest = 15.0;
  static constexpr double kWidest = 90.0;
  static constexpr double kLensStep = 5.0;
  // Narrows (steps < 0) or widens the lens; false when it is at its limit.
  bool changeLens(int steps);

  // The camera as a pose file keeps it, into state (its pictures untouched);
  // and back, a view from above or below turned by the figure's front.
  void store(ViewState& state) const;
  void take(const ViewState& state, const Vec3& front);

  float pitch = 0.2f;
  float yaw = 1.0f;
  float distance = -20.0f;
  Vec3 center;
  Vec3 eye;
  Vec3 up;
  // A view from straight above or below looks along the orbit's up: it
  // carries its own, kept until the camera rotates.
  std::optional<Vec3> viewUp;
  bool dirty = false;
  float lastX = 0.0f;
  float lastY = 0.0f;
  float depthMotion = 0.0f;
  int mode = Inactive;
  double fieldOfView = kStartFieldOfView;
  // The exact view the camera is at (ViewState's numbering), until it rotates.
  int view = ViewState::kFree;
};
