#include "pose/ViewState.h"

#include <algorithm>
#include <cmath>

#include "figure/PoseLimits.h"

ViewState withinFileLimits(ViewState state) {
  // The largest float under the limit, which the file's numbers stay below.
  const float most = std::nextafter(static_cast<float>(pose_limits::kValue), 0.0f);
  for (float* v : {&state.pitch, &state.yaw, &state.distance, &state.center.x, &state.center.y, &state.center.z})
    *v = std::clamp(*v, -most, most);
  return state;
}

const char* const ViewState::kNames[kViews] = {"front", "back", "right", "left", "top", "bottom", "free"};

bool ReferencePicture::changeOpacity(int steps) {
  const int to = std::clamp(opacity + steps * kOpacityStep, 0, 100);
  if (to == opacity) return false;
  opacity = to;
  return true;
}

bool ReferencePicture::moveBy(int across, int up) {
  const double toX = std::clamp(x + across * kPlaceStep, -kPlaceLimit, kPlaceLimit);
  const double toY = std::clamp(y + up * kPlaceStep, -kPlaceLimit, kPlaceLimit);
  if (toX == x && toY == y) return false;
  x = toX;
  y = toY;
  return true;
}

bool ReferencePicture::scaleBy(int steps) {
  const double to = std::clamp(size * std::pow(kScaleStep, steps), kSmallest, kLargest);
  if (to == size) return false;
  size = to;
  return true;
}

bool operator==(const ReferencePicture& a, const ReferencePicture& b) {
  return a.path == b.path && a.opacity == b.opacity && a.x == b.x && a.y == b.y && a.size == b.size;
}

bool operator==(const ViewState& a, const ViewState& b) {
  return a.pitch == b.pitch && a.yaw == b.yaw && a.distance == b.distance && a.center.x == b.center.x &&
         a.center.y == b.center.y && a.center.z == b.center.z && a.view == b.view &&
         a.fieldOfView == b.fieldOfView && a.pictures == b.pictures && a.picturesShown == b.picturesShown;
}
