#pragma once

#include "math/Products.h"

// The gradient pass keeps its derivative matrices by columns. Carrying a
// derivative D into a child frame (D * A) then takes A's elements as scalars,
// the same for every derivative carried at that node, and D's columns as
// vectors; applying the result to a handle point is three vector steps. The
// elements, their sums in double and their roundings to float are those of
// the row-major products: only the layout differs. Lane 3 of a column is the
// matrix's bottom row; no result in rows 0 to 2 reads it.
namespace columns {

using products::Narrow;
using products::Wide;

struct Columns {
  Narrow c[4];
};

inline void widen(const Narrow& v, Wide& out) { out = Wide{v[0], v[1], v[2], v[3]}; }

// Rounds to float; returns the mask of rows 0 to 2 that are non-zero.
inline int narrow(const Wide& v, Narrow& out) {
  out = __builtin_convertvector(v, Narrow);
  return _mm_movemask_ps(_mm_cmpneq_ps(out, _mm_setzero_ps())) & 7;
}

inline Columns fromMatrix(const Mat4& m) {
  Columns d;
  for (int c = 0; c < 4; ++c) d.c[c] = Narrow{m[c], m[4 + c], m[8 + c], m[12 + c]};
  return d;
}

inline Mat4 toMatrix(const Columns& d) {
  Mat4 m;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) m[4 * r + c] = d.c[c][r];
  }
  return m;
}

// The elements of rows 0 to 2 of an affine A, each in all four lanes.
struct CarryFactors {
  Wide a[3][4];
  explicit CarryFactors(const Mat4& A) {
    for (int k = 0; k < 3; ++k) {
      for (int c = 0; c < 4; ++c) a[k][c] = Wide{} + double(A[4 * k + c]);
    }
  }
};

// D * A for an affine A. Column c sums d0 a0c, d1 a1c, d2 a2c and d3 a3c,
// where a3c is 0 (left out) for c < 3 and 1 for c = 3. Returns whether rows
// 0 to 2 hold a non-zero element.
inline bool carry(const Columns& d, const CarryFactors& f, Columns& out) {
  Wide w[4];
  for (int k = 0; k < 4; ++k) widen(d.c[k], w[k]);
  int nonZero = 0;
  for (int c = 0; c < 3; ++c) {
    nonZero |= narrow((w[0] * f.a[0][c] + w[1] * f.a[1][c]) + w[2] * f.a[2][c], out.c[c]);
  }
  nonZero |= narrow(((w[0] * f.a[0][3] + w[1] * f.a[1][3]) + w[2] * f.a[2][3]) + w[3], out.c[3]);
  return nonZero != 0;
}

// D * A for an A that only translates by t: the rotation columns stay D's own.
inline bool carryTranslation(const Columns& d, const Vec3& t, Columns& out) {
  Wide w[4];
  for (int k = 0; k < 4; ++k) widen(d.c[k], w[k]);
  out.c[0] = d.c[0], out.c[1] = d.c[1], out.c[2] = d.c[2];
  int nonZero = narrow(((w[0] * double(t.x) + w[1] * double(t.y)) + w[2] * double(t.z)) + w[3], out.c[3]);
  nonZero |= _mm_movemask_ps(_mm_or_ps(
                 _mm_or_ps(_mm_cmpneq_ps(d.c[0], _mm_setzero_ps()), _mm_cmpneq_ps(d.c[1], _mm_setzero_ps())),
                 _mm_cmpneq_ps(d.c[2], _mm_setzero_ps()))) &
             7;
  return nonZero != 0;
}

// The columns of a matrix P as doubles, widened once for all the joint's own
// derivatives.
struct WideColumns {
  Wide p[4];
  explicit WideColumns(const Mat4& P) {
    for (int k = 0; k < 4; ++k) p[k] = Wide{P[k], P[4 + k], P[8 + k], P[12 + k]};
  }
};

// P * d for a derivative d, whose bottom row is zero (its terms are left
// out). Returns whether rows 0 to 2 hold a non-zero element.
inline bool timesDerivative(const WideColumns& P, const Mat4& d, Columns& out) {
  int nonZero = 0;
  for (int c = 0; c < 4; ++c) {
    nonZero |=
        narrow((P.p[0] * double(d[c]) + P.p[1] * double(d[4 + c])) + P.p[2] * double(d[8 + c]), out.c[c]);
  }
  return nonZero != 0;
}

// The term a handle adds to a DOF's gradient: L times the derivative, rounded
// to float, applied to the handle's local point p, dotted with its error e,
// all in float as the scalar sums ((x0 p.x + x1 p.y) + x2 p.z) + x3 and
// (jx e.x + jy e.y) + jz e.z.
inline float gradientTerm(const Columns& d, double L, const Vec3& p, const Vec3& e) {
  Narrow s[4];
  if (L == 1.0) {
    for (int c = 0; c < 4; ++c) s[c] = d.c[c];  // float(1.0 * x) is x
  } else {
    for (int c = 0; c < 4; ++c) {
      Wide w;
      widen(d.c[c], w);
      s[c] = __builtin_convertvector(w * L, Narrow);
    }
  }
  const Narrow j = ((s[0] * p.x + s[1] * p.y) + s[2] * p.z) + s[3];
  const Narrow t = j * Narrow{e.x, e.y, e.z, 0.0f};
  return (t[0] + t[1]) + t[2];
}

}  // namespace columns
