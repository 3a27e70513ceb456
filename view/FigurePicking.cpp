#include <cmath>

#include "view/FigurePicking.h"

namespace {

bool isFinite(const double v[3]) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); }

Vec3 toVec3(const double v[3]) {
  return Vec3(static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2]));
}

}  // namespace

const Handle* handleAt(const Figure& figure, const GLFrame& gl, int x, int y, int radius) {
  for (const HandleEntry& e : figure.handles) {
    const Vec3& p = e.handle->worldPos;
    double w[3];
    // A handle that cannot be projected is not under any point.
    if (!gl.project(p.x, p.y, p.z, w) || !isFinite(w)) continue;
    if (x - radius < w[0] && w[0] < x + radius && y - radius < w[1] && w[1] < y + radius) return e.handle;
  }
  return nullptr;
}

SurfaceHit pickSurface(const Figure& figure, const GLFrame& gl, int x, int y) {
  double n[3], f[3];
  // A point that cannot be mapped into the world hits nothing.
  if (!gl.unproject(x, y, 0.0, n) || !gl.unproject(x, y, 1.0, f) || !isFinite(n) || !isFinite(f)) {
    return SurfaceHit{};
  }
  return figure.pickRay(toVec3(n), toVec3(f));
}
