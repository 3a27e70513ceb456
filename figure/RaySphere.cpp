#include "figure/RaySphere.h"

#include <cmath>

// The arithmetic runs in long double, as wide as the machine offers.
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
