#include "figure/Figure.h"
#include "figure/RaySphere.h"

// The ray pick itself needs no display: the view unprojects the window point
// into the world-space ray and hands it here.

SurfaceHit Figure::pickRay(const Vec3& nearPoint, const Vec3& farPoint) const {
  SurfaceHit hit;
  pickSegment(root.get(), nearPoint, farPoint, hit, 10000.0, Mat4());
  return hit;
}

double Figure::pickSegment(const Segment* s, const Vec3& nearPoint, const Vec3& farPoint, SurfaceHit& hit,
                           double best, Mat4 parentWorld) const {
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
  for (int i = 0; i < s->childCount(); ++i) {
    best = pickSegment(s->child(i), nearPoint, farPoint, hit, best, W);
  }
  return best;
}
