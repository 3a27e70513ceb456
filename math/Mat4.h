#pragma once

#include "math/Vec3.h"

// A 4x4 homogeneous transform in single precision, stored row by row.
// Points are column vectors: the translation sits in m[3], m[7] and m[11].
struct Mat4 {
  float m[16];

  // The identity.
  Mat4() : m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1} {}

  Mat4(float m0, float m1, float m2, float m3, float m4, float m5, float m6, float m7, float m8, float m9,
       float m10, float m11, float m12, float m13, float m14, float m15)
      : m{m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15} {}

  float& operator[](int i) { return m[i]; }
  float operator[](int i) const { return m[i]; }

  static Mat4 zero() { return Mat4(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0); }

  // True when every element compares equal to 0.0.
  bool isZero() const {
    for (float v : m) {
      if (v != 0.0f) return false;
    }
    return true;
  }

  // Gauss-Jordan elimination in single precision; the identity when singular.
  Mat4 inverse() const;

  // The column-major copy that OpenGL expects.
  void toColumnMajor(float out[16]) const {
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) out[4 * c + r] = m[4 * r + c];
    }
  }
};

// The matrix product a * b (b applies first). Every element is accumulated in
// double and rounded to float once, so the result may be assigned to an operand.
inline Mat4 operator*(const Mat4& a, const Mat4& b) {
  const float* A = a.m;
  const float* B = b.m;
  auto cell = [A, B](int r, int c) {
    return static_cast<float>(double(A[4 * r]) * B[c] + double(A[4 * r + 1]) * B[4 + c] +
                              double(A[4 * r + 2]) * B[8 + c] + double(A[4 * r + 3]) * B[12 + c]);
  };
  return Mat4(cell(0, 0), cell(0, 1), cell(0, 2), cell(0, 3),  //
              cell(1, 0), cell(1, 1), cell(1, 2), cell(1, 3),  //
              cell(2, 0), cell(2, 1), cell(2, 2), cell(2, 3),  //
              cell(3, 0), cell(3, 1), cell(3, 2), cell(3, 3));
}

// Rows 0 to 2 applied to (p, 1); the bottom row is not read and there is no
// division by w: meant for rigid and affine transforms only.
inline Vec3 transformPoint(const Mat4& M, const Vec3& p) {
  const float* m = M.m;
  return {m[0] * p.x + m[1] * p.y + m[2] * p.z + m[3],  //
          m[4] * p.x + m[5] * p.y + m[6] * p.z + m[7],  //
          m[8] * p.x + m[9] * p.y + m[10] * p.z + m[11]};
}

inline Mat4 scaleMatrix(float sx, float sy, float sz) {
  return Mat4(sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, 0, 0, 0, 1);
}

inline Mat4 translationMatrix(float tx, float ty, float tz) {
  return Mat4(1, 0, 0, tx, 0, 1, 0, ty, 0, 0, 1, tz, 0, 0, 0, 1);
}

inline Mat4 translationMatrix(const Vec3& t) { return translationMatrix(t.x, t.y, t.z); }

void setDiagonal(Mat4& M, float d);
void setTranslation(Mat4& M, const Vec3& v);
void setRotationX(Mat4& M, float angle);
void setRotationY(Mat4& M, float angle);
