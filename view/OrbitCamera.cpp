#include "view/OrbitCamera.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <iostream>

#include "math/Mat4.h"
#include "view/ViewFraming.h"

OrbitCamera::OrbitCamera() { recompute(); }

void OrbitCamera::recompute() {
  Mat4 ry, rx, offset;
  setRotationY(ry, yaw);
  setRotationX(rx, pitch);
  setTranslation(offset, Vec3(0, 0, distance));
  eye = center + transformPoint(ry * rx * offset, Vec3());

  // Upside down once the camera has rotated over the top.
  const double r = std::fmod(double(pitch), 2.0 * M_PI);
  const bool over = M_PI / 2 < r && r < 3 * M_PI / 2;
  up = viewUp ? *viewUp : Vec3(0, over ? -1.0f : 1.0f, 0);
  dirty = false;
}

void OrbitCamera::apply() {
  if (dirty) recompute();
  gluLookAt(eye.x, eye.y, eye.z, center.x, center.y, center.z, up.x, up.y, up.z);
}

bool OrbitCamera::changeLens(int steps) {
  const double to = std::clamp(fieldOfView + steps * kLensStep, kNarrowest, kWidest);
  if (to == fieldOfView) return false;
  fieldOfView = to;
  return true;
}

void OrbitCamera::store(ViewState& state) const {
  state.pitch = pitch;
  state.yaw = yaw;
  state.distance = distance;
  state.center = center;
  state.view = view;
  state.fieldOfView = fieldOfView;
}

void OrbitCamera::take(const ViewState& state, const Vec3& front) {
  pitch = state.pitch;
  yaw = state.yaw;
  distance = state.distance;
  center = state.center;
  view = state.view;
  fieldOfView = state.fieldOfView;
  // As lookFrom sets them: the toes down the picture from above.
  viewUp.reset();
  if (view == static_cast<int>(ViewSide::Top)) viewUp = front * -1.0;
  if (view == static_cast<int>(ViewSide::Bottom)) viewUp = front;
  recompute();
}

void OrbitCamera::begin(int mode_, int x, int y) {
  mode = mode_;
  lastX = static_cast<float>(x);
  lastY = static_cast<float>(y);
}

void OrbitCamera::end(int, int) { mode = Inactive; }

void OrbitCamera::drag(int x, int y) {
  const Vec3 motion(static_cast<float>(x) - lastX, static_cast<float>(y) - lastY, -depthMotion);
  lastX = static_cast<float>(x);
  lastY = static_cast<float>(y);
  depthMotion = 0.0f;
  std::cout << motion << std::endl;

  switch (mode) {
    case Rotate: {
      const float k = 0.0055555557f;  // radians per pixel
      yaw = yaw - motion.x * k;
      pitch = pitch + motion.y * k;
      viewUp.reset();
      view = ViewState::kFree;
      dirty = true;
      break;
    }
    case Zoom:
      distance = distance - motion.y * 0.1f;
      dirty = true;
      break;
    case Pan: {
      recompute();
      const Vec3 V = eye - center;
      Vec3 right = cross(up, V);
      const float rightLength = length(right);
      // Looking straight along up leaves no screen plane to pan in.
      if (!(rightLength > 0.0f)) break;
      right /= rightLength;
      Vec3 screenUp = cross(V, right);
      screenUp /= length(screenUp);
      const double a = -motion.x * double(0.02f);
      const double b = motion.y * double(0.02f);
      center = center + right * a + screenUp * b;
      dirty = true;
      break;
    }
    default:
      break;
  }
}
