#include "math/Quat.h"

#include <cmath>

Quat operator*(const Quat& a, const Quat& b) {
  return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,  //
          a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z,  //
          a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x,  //
          a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

Quat Quat::fromEuler(double rx, double ry, double rz) {
  const double hx = rx * 0.5;
  const double hy = ry * 0.5;
  const double hz = rz * 0.5;
  const Quat qx(Vec3(static_cast<float>(std::sin(hx)), 0, 0), std::cos(hx));
  const Quat qy(Vec3(0, static_cast<float>(std::sin(hy)), 0), std::cos(hy));
  const Quat qz(Vec3(0, 0, static_cast<float>(std::sin(hz))), std::cos(hz));
  Quat q = (qx * qy) * qz;
  q.normalize();
  return q;
}

void Quat::normalize() {
  const double n = std::sqrt(x * x + y * y + z * z + w * w);
  if (n == 0.0) return;
  x /= n;
  y /= n;
  z /= n;
  w /= n;
}

Mat4 Quat::toMatrix() const {
  const double N = x * x + y * y + z * z + w * w;
  const double s = N > 0.0 ? 2.0 / N : 0.0;
  const double xx = s * x * x, yy = s * y * y, zz = s * z * z;
  const double xy = s * x * y, xz = s * x * z, yz = s * y * z;
  const double wx = s * w * x, wy = s * w * y, wz = s * w * z;
  auto f = [](double v) { return static_cast<float>(v); };
  return Mat4(f(1.0 - (yy + zz)), f(xy - wz), f(xz + wy), 0,  //
              f(xy + wz), f(1.0 - (xx + zz)), f(yz - wx), 0,  //
              f(xz - wy), f(yz + wx), f(1.0 - (xx + yy)), 0,  //
              0, 0, 0, 1);
}

Mat4 Quat::toMatrixDerivative(int k) const {
  Mat4 D = Mat4::zero();
  if (k < 0 || k > 3) return D;

  const float X = static_cast<float>(x), Y = static_cast<float>(y);
  const float Z = static_cast<float>(z), W = static_cast<float>(w);
  const float N = X * X + Y * Y + Z * Z + W * W;
  const float s = N > 0.0f ? 2.0f / N : 0.0f;
  const float t = N > 0.0f ? -4.0f / (N * N) : 0.0f;  // d s / d q_k = t * q_k

  // The rotation block is I + s * E.
  const float E[3][3] = {{-(Y * Y + Z * Z), X * Y - W * Z, X * Z + W * Y},
                         {X * Y + W * Z, -(X * X + Z * Z), Y * Z - W * X},
                         {X * Z - W * Y, Y * Z + W * X, -(X * X + Y * Y)}};
  const float dE[4][3][3] = {
      {{0, Y, Z}, {Y, -2 * X, -W}, {Z, W, -2 * X}},
      {{-2 * Y, X, W}, {X, 0, Z}, {-W, Z, -2 * Y}},
      {{-2 * Z, -W, X}, {W, -2 * Z, Y}, {X, Y, 0}},
      {{0, -Z, Y}, {Z, 0, -X}, {-Y, X, 0}},
  };
  const float q[4] = {X, Y, Z, W};
  const float tq = t * q[k];
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) D[4 * r + c] = tq * E[r][c] + s * dE[k][r][c];
  }
  return D;
}
