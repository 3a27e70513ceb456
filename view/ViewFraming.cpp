#include "view/ViewFraming.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "figure/Figure.h"
#include "view/SceneDrawing.h"

namespace {

// The share of the half-frame the figure may fill: a margin of 6% each side.
constexpr double kFill = 0.88;

Vec3 unit(const Vec3& v) { return v * (1.0 / double(length(v))); }

// How far the drawn figure reaches along d, in the scene's units, measured
// from the point c.
double reachFrom(const Figure& figure, const Vec3& c, const Vec3& d) {
  return kFigureScale * figure.reach(d) - double(dot(d, c));
}

// The middle of the figure's box, in the scene's units.
Vec3 figureCentre(const Figure& figure) {
  auto middle = [&](const Vec3& axis) {
    return static_cast<float>(kFigureScale * (figure.reach(axis) - figure.reach(axis * -1.0)) / 2);
  };
  return {middle(Vec3(1, 0, 0)), middle(Vec3(0, 1, 0)), middle(Vec3(0, 0, 1))};
}

// The camera's distance from c along toEye at which every point of the
// figure lies inside the four side planes of the frustum narrowed by kFill,
// and beyond the near plane: a point p with lateral offset a along side and
// depth z towards the eye fits when |a| <= t (D - z), that is when
// p . (+-side + t toEye) <= t D.
double fittingDistance(const Figure& figure, const Vec3& c, const Vec3& toEye, const Vec3& right, const Vec3& up,
                       double aspect, double fieldOfView) {
  const double ty = std::tan(fieldOfView / 2 * M_PI / 180) * kFill;
  const double tx = ty * aspect;
  double d = reachFrom(figure, c, toEye) + 1.5 * kNearPlane;
  for (double sign : {1.0, -1.0}) {
    d = std::max(d, reachFrom(figure, c, right * sign + toEye * tx) / tx);
    d = std::max(d, reachFrom(figure, c, up * sign + toEye * ty) / ty);
  }
  return d;
}

}  // namespace

void fitFigure(OrbitCamera& camera, const Figure& figure, double aspect) {
  if (!(aspect > 0)) aspect = 1.0;
  // A camera at its centre still has the direction its angles give.
  if (camera.distance == 0.0f) camera.distance = -1.0f;
  camera.recompute();
  const Vec3 toEye = unit(camera.eye - camera.center);
  const Vec3 right = unit(cross(camera.up, toEye));
  const Vec3 up = cross(toEye, right);
  const Vec3 c = figureCentre(figure);
  const double d = fittingDistance(figure, c, toEye, right, up, aspect, camera.fieldOfView);
  camera.center = c;
  camera.distance = static_cast<float>(camera.distance < 0 ? -d : d);
  camera.recompute();
}

// The yaw that puts the eye along toEye, level: the orbit's eye lies at
// (-sin yaw, 0, -cos yaw) from its centre for a distance of -1.
float yawTowards(const Vec3& toEye) { return static_cast<float>(std::atan2(-toEye.x, -toEye.z)); }

void lookFrom(OrbitCamera& camera, ViewSide side, const Figure& figure, double aspect) {
  // The orbit turns its up over at the poles of pitch pi/2 and 3pi/2, and
  // never for a negative pitch: the top and the bottom sit just short of
  // those poles, whose floats lie just past them, so that a turn either way
  // from there goes on as the view's own up shows it. From above the toes
  // point down the picture, as the orbit's own up shows them when it nears
  // the top from the front.
  const float top = std::nextafter(static_cast<float>(M_PI / 2), 0.0f);
  const float bottom = std::nextafter(static_cast<float>(3 * M_PI / 2), 0.0f);
  const Vec3& front = figure.front;
  const Vec3 back = front * -1.0, right = figure.left * -1.0;
  camera.pitch = 0;
  camera.viewUp.reset();
  switch (side) {
    case ViewSide::Front:
    case ViewSide::Top:
    case ViewSide::Bottom:
      camera.yaw = yawTowards(front);
      break;
    case ViewSide::Back:
      camera.yaw = yawTowards(back);
      break;
    case ViewSide::Right:
      camera.yaw = yawTowards(right);
      break;
    case ViewSide::Left:
      camera.yaw = yawTowards(figure.left);
      break;
  }
  if (side == ViewSide::Top) camera.pitch = top, camera.viewUp = back;
  if (side == ViewSide::Bottom) camera.pitch = bottom, camera.viewUp = front;
  camera.distance = -1.0f;
  fitFigure(camera, figure, aspect);
  camera.view = static_cast<int>(side);
}
