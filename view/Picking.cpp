#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "figure/Figure.h"

namespace {

struct FrameMatrices {
  GLint viewport[4];
  GLdouble projection[16];
  GLdouble modelview[16];

  FrameMatrices() {
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
  }
};

bool finite3(double a, double b, double c) {
  return std::isfinite(a) && std::isfinite(b) && std::isfinite(c);
}

}  // namespace

Handle* Figure::handleAt(int x, int y, int radius) {
  const FrameMatrices gl;
  if (handles.empty()) return nullptr;
  for (const HandleEntry& e : handles) {
    const Vec3& p = e.handle->worldPos;
    double wx, wy, wz;
    // A handle that cannot be projected is not under any point.
    if (gluProject(p.x, p.y, p.z, gl.modelview, gl.projection, gl.viewport, &wx, &wy, &wz) != GL_TRUE ||
        !finite3(wx, wy, wz)) {
      continue;
    }
    if (x - radius < wx && wx < x + radius && y - radius < wy && wy < y + radius) return e.handle;
  }
  return nullptr;
}

SurfaceHit Figure::pickSurface(int x, int y) {
  const FrameMatrices gl;
  double n[3], f[3];
  if (gluUnProject(x, y, 0.0, gl.modelview, gl.projection, gl.viewport, &n[0], &n[1], &n[2]) != GL_TRUE ||
      gluUnProject(x, y, 1.0, gl.modelview, gl.projection, gl.viewport, &f[0], &f[1], &f[2]) != GL_TRUE ||
      !finite3(n[0], n[1], n[2]) || !finite3(f[0], f[1], f[2])) {
    return SurfaceHit{};
  }
  const Vec3 nearPoint(static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2]));
  const Vec3 farPoint(static_cast<float>(f[0]), static_cast<float>(f[1]), static_cast<float>(f[2]));
  return pickRay(nearPoint, farPoint);
}

SurfaceHit Figure::pickRay(const Vec3& nearPoint, const Vec3& farPoint) {
  SurfaceHit hit;
  pickSegment(root.get(), nearPoint, farPoint, hit, 10000.0, Mat4());
  return hit;
}

double Figure::pickSegment(Segment* s, const Vec3& nearPoint, const Vec3& farPoint, SurfaceHit& hit,
                           double best, Mat4 parentWorld) {
  const Mat4 W = frame(parentWorld, *s);
  if (s->hasShape) {
    const Mat4 Si = (W * s->shape).inverse();
    const Vec3 o = transformPoint(Si, nearPoint);
    const Vec3 e = transformPoint(Si, farPoint);
    Vec3 h;
    double t;
    // Only a strictly nearer body replaces the best: ties go to pre-order.
    if (raySphere(o, e, h, t) && t < best) {
      hit.segment = s;
      hit.point = transformPoint(s->shape, h);
      best = t;
    }
  }
  for (int i = 0; i < s->childCount(); ++i)
    best = pickSegment(s->child(i), nearPoint, farPoint, hit, best, W);
  return best;
}

bool raySphere(const Vec3& p, const Vec3& q, Vec3& hit, double& t) {
  using Real = long double;
  const Real dx = Real(q.x) - p.x, dy = Real(q.y) - p.y, dz = Real(q.z) - p.z;
  const Real a = dx * dx + dy * dy + dz * dz;
  const Real b = dx * p.x + dy * p.y + dz * p.z;
  const Real c = Real(p.x) * p.x + Real(p.y) * p.y + Real(p.z) * p.z - 0.25L;
  const Real disc = b * b - a * c;
  if (!(disc > 0)) return false;  // a ray that only touches the sphere misses
  const Real root = std::sqrt(disc);
  const Real t1 = (root - b) / a;
  if (!(t1 > 1e-6L)) return false;  // the sphere lies behind the start
  const Real t0 = (-b - root) / a;
  const Real tt = t0 > 1e-6L ? t0 : t1;  // inside the sphere: leave at the far side
  t = static_cast<double>(tt);
  hit = Vec3(float(p.x + dx * tt), float(p.y + dy * tt), float(p.z + dz * tt));
  return true;
}
