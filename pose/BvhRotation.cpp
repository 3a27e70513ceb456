#include "pose/BvhRotation.h"

#include <cmath>

namespace bvh {

namespace {

double& component(Quat& q, int axis) { return axis == 0 ? q.x : axis == 1 ? q.y : q.z; }
double component(const Quat& q, int axis) { return axis == 0 ? q.x : axis == 1 ? q.y : q.z; }

Quat conjugate(const Quat& q) { return {-q.x, -q.y, -q.z, q.w}; }

// Element (row, column) of the unit quaternion's rotation matrix.
double element(const Quat& q, int row, int column) {
  const double v[3] = {q.x, q.y, q.z};
  if (row == column) {
    const int a = (row + 1) % 3, b = (row + 2) % 3;
    return 1.0 - 2.0 * (v[a] * v[a] + v[b] * v[b]);
  }
  // The axis that is neither, and whether (row, column) runs x->y->z.
  const int other = 3 - row - column;
  const double sign = (column - row + 3) % 3 == 1 ? -1.0 : 1.0;
  return 2.0 * (v[row] * v[column] + sign * q.w * v[other]);
}

// +1 when e_i x e_j = e_k, -1 when it is -e_k.
double parity(int i, int j) { return (j - i + 3) % 3 == 1 ? 1.0 : -1.0; }

// The angle of the turn about axis that q is closest to, in (-pi, pi].
double angleAbout(const Quat& q, int axis) {
  const double s = q.w < 0 ? -1.0 : 1.0;
  return 2.0 * std::atan2(s * component(q, axis), s * q.w);
}

}  // namespace

Quat axisTurn(int axis, double radians) {
  Quat q(0, 0, 0, std::cos(radians * 0.5));
  component(q, axis) = std::sin(radians * 0.5);
  return q;
}

double turnAngle(const Quat& q) {
  const double v = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
  return 2.0 * std::atan2(v, std::fabs(q.w));
}

std::array<double, 3> eulerAngles(const Quat& q, const Axes& order) {
  const int i = order[0], j = order[1], k = order[2];
  const double s = parity(i, j);
  // Row i of Ri(a) Rj(b) Rk(c) holds s sin b at k; column k holds a.
  const double b = std::atan2(s * element(q, i, k), std::hypot(element(q, i, i), element(q, i, j)));
  const double a = std::atan2(-s * element(q, j, k), element(q, k, k));
  // c from what a and b leave, so that an ill-defined a near b = +-pi/2 is
  // made up for.
  const Quat rest = conjugate(axisTurn(i, a) * axisTurn(j, b)) * q;
  return {a, b, angleAbout(rest, k)};
}

HingeAngles hingeAngles(const Quat& q, int firstAxis, int secondAxis) {
  HingeAngles h;
  if (secondAxis < 0) {
    h.first = angleAbout(q, firstAxis);
    h.remaining = turnAngle(conjugate(axisTurn(firstAxis, h.first)) * q);
    return h;
  }
  // Ra(x) Rb(y) leaves the b axis as Ra(x) turns it, and the a row as Rb(y)
  // turns it back: neither depends on the other angle.
  const int a = firstAxis, b = secondAxis, c = 3 - a - b;
  const double s = parity(a, b);
  h.first = std::atan2(s * element(q, c, b), element(q, b, b));
  h.second = std::atan2(s * element(q, a, c), element(q, a, a));
  h.remaining = turnAngle(conjugate(axisTurn(a, h.first) * axisTurn(b, h.second)) * q);
  return h;
}

}  // namespace bvh
