#pragma once

#include "math/Mat4.h"
#include "math/Vec3.h"

// A quaternion in double precision, scalar last. It need not be of unit
// length: every conversion divides by the squared norm.
struct Quat {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
  double w = 1.0;

  Quat() = default;
  Quat(double x_, double y_, double z_, double w_) : x(x_), y(y_), z(z_), w(w_) {}
  Quat(const Vec3& v, double w_) : x(v.x), y(v.y), z(v.z), w(w_) {}

  // The rotation Rx(rx) * Ry(ry) * Rz(rz), normalised. The sines pass through
  // a float on their way in, the cosines stay double.
  static Quat fromEuler(double rx, double ry, double rz);

  // Divides by the norm; a zero quaternion is left as it is.
  void normalize();

  Mat4 toMatrix() const;

  // The exact partial derivative of toMatrix() with respect to component k
  // (0 = x, 1 = y, 2 = z, 3 = w), in float, including the 2/|q|^2 factor.
  Mat4 toMatrixDerivative(int k) const;
  // Several at once, sharing the work; the same values as one by one. Only
  // those with a non-zero flag in wanted are written (all when it is null).
  void toMatrixDerivatives(Mat4 D[4], const unsigned char* wanted = nullptr) const;
};

// The Hamilton product: toMatrix(a * b) == toMatrix(a) * toMatrix(b).
Quat operator*(const Quat& a, const Quat& b);

// From a (t = 0) to b (t = 1) along the shorter of the two arcs between the
// rotations they give, both taken as of unit length; a normalised lerp where
// the two are too close for the sine to divide by.
Quat slerp(const Quat& a, const Quat& b, double t);
