#include "math/Quat.h"

#include <algorithm>
#include <cmath>
#include <cstring>

Quat operator*(const Quat& a, const Quat& b) {
  return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,  //
          a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z,  //
          a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x,  //
          a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

namespace {

// v rounded to float and widened again. Through a volatile float, because
// GCC 12's SLP vectorizer on x86-64 drops one of fromEuler's three roundings
// at -O2, which changed the quaternion (and no other machine agreed).
double throughFloat(double v) {
  volatile float rounded = static_cast<float>(v);
  return rounded;
}

}  // namespace

Quat Quat::fromEuler(double rx, double ry, double rz) {
  const double hx = rx * 0.5;
  const double hy = ry * 0.5;
  const double hz = rz * 0.5;
  const Quat qx(throughFloat(std::sin(hx)), 0, 0, std::cos(hx));
  const Quat qy(0, throughFloat(std::sin(hy)), 0, std::cos(hy));
  const Quat qz(0, 0, throughFloat(std::sin(hz)), std::cos(hz));
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

namespace {

// One row of a 3x3 block in the first three lanes; lane 3 is zero.
typedef float Row __attribute__((vector_size(16)));

// What the four partial derivatives share, in float.
struct DerivativeTerms {
  float q[4];
  float s, t;  // s = 2 / N and its derivative factor: d s / d q_k = t * q_k
  Row E[3];
};

DerivativeTerms derivativeTerms(const Quat& quat) {
  DerivativeTerms d;
  const float X = static_cast<float>(quat.x), Y = static_cast<float>(quat.y);
  const float Z = static_cast<float>(quat.z), W = static_cast<float>(quat.w);
  d.q[0] = X, d.q[1] = Y, d.q[2] = Z, d.q[3] = W;
  const float N = X * X + Y * Y + Z * Z + W * W;
  d.s = N > 0.0f ? 2.0f / N : 0.0f;
  d.t = N > 0.0f ? -4.0f / (N * N) : 0.0f;
  // The rotation block is I + s * E.
  d.E[0] = Row{-(Y * Y + Z * Z), X * Y - W * Z, X * Z + W * Y, 0};
  d.E[1] = Row{X * Y + W * Z, -(X * X + Z * Z), Y * Z - W * X, 0};
  d.E[2] = Row{X * Z - W * Y, Y * Z + W * X, -(X * X + Y * Y), 0};
  return d;
}

// Element by element tq * E + s * dE / dq_k in float, three lanes at a time.
void fillDerivative(const DerivativeTerms& d, int k, Mat4& D) {
  const float X = d.q[0], Y = d.q[1], Z = d.q[2], W = d.q[3];
  Row dE[3];
  switch (k) {
    case 0:
      dE[0] = Row{0, Y, Z, 0}, dE[1] = Row{Y, -2 * X, -W, 0}, dE[2] = Row{Z, W, -2 * X, 0};
      break;
    case 1:
      dE[0] = Row{-2 * Y, X, W, 0}, dE[1] = Row{X, 0, Z, 0}, dE[2] = Row{-W, Z, -2 * Y, 0};
      break;
    case 2:
      dE[0] = Row{-2 * Z, -W, X, 0}, dE[1] = Row{W, -2 * Z, Y, 0}, dE[2] = Row{X, Y, 0, 0};
      break;
    default:
      dE[0] = Row{0, -Z, Y, 0}, dE[1] = Row{Z, 0, -X, 0}, dE[2] = Row{-Y, X, 0, 0};
      break;
  }
  const float tq = d.t * d.q[k];
  for (int r = 0; r < 3; ++r) {
    Row v = tq * d.E[r] + d.s * dE[r];
    v[3] = 0;  // the translation column, whatever s and t are
    std::memcpy(D.m + 4 * r, &v, sizeof v);
  }
  D[12] = D[13] = D[14] = D[15] = 0;
}

}  // namespace

Mat4 Quat::toMatrixDerivative(int k) const {
  Mat4 D = Mat4::zero();
  if (k < 0 || k > 3) return D;
  fillDerivative(derivativeTerms(*this), k, D);
  return D;
}

void Quat::toMatrixDerivatives(Mat4 D[4], const unsigned char* wanted) const {
  const DerivativeTerms terms = derivativeTerms(*this);
  for (int k = 0; k < 4; ++k) {
    if (!wanted || wanted[k]) fillDerivative(terms, k, D[k]);
  }
}

Quat slerp(const Quat& a, const Quat& b, double t) {
  double cosine = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
  // q and -q are the same rotation: the shorter arc goes to the nearer one.
  const double sign = cosine < 0 ? -1.0 : 1.0;
  cosine *= sign;
  double wa = 1.0 - t, wb = t;
  if (cosine < 0.9995) {
    const double angle = std::acos(std::min(cosine, 1.0));
    const double sine = std::sin(angle);
    wa = std::sin((1.0 - t) * angle) / sine;
    wb = std::sin(t * angle) / sine;
  }
  wb *= sign;
  Quat q(wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z, wa * a.w + wb * b.w);
  q.normalize();
  return q;
}
