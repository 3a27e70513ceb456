#pragma once

#include "ik/WorldColumns.h"

// The gradient pass keeps each derivative matrix by columns. Carrying a
// derivative D into a child frame (D * A, A on the right) then takes A's
// elements as scalars, the same for every derivative carried at that node,
// and D's columns as vectors; applying the result to a handle point is three
// vector steps. The elements, their sums in double and their roundings to
// float are those of the row-major products: only the layout differs. Lane 3
// of a column is the matrix's bottom row; no result in rows 0 to 2 reads it.
namespace columns {

using products::Narrow;
using products::Wide;
using products::widen;

struct DerivativeColumns {
  Narrow c[4];
};

// Rounds to float and notes the non-zero lanes in nonZero.
inline void narrow(const Wide& v, Narrow& out, products::NarrowMask& nonZero) {
  out = __builtin_convertvector(v, Narrow);
  nonZero |= out != Narrow{};
}

inline DerivativeColumns toColumns(const Mat4& m) {
  DerivativeColumns d;
  for (int c = 0; c < 4; ++c) d.c[c] = Narrow{m[c], m[4 + c], m[8 + c], m[12 + c]};
  return d;
}

inline Mat4 toMatrix(const DerivativeColumns& d) {
  Mat4 m;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) m[4 * r + c] = d.c[c][r];
  }
  return m;
}

// v in all four lanes, its sign of zero kept.
inline void broadcast(float v, Wide& out) {
  const double d = v;
  out = Wide{d, d, d, d};
}

// The elements of rows 0 to 2 of A = T M, for an affine M and the
// translation T by t, each in all four lanes: the right factor of every
// derivative carried through the joint. A's last column is M's plus t,
// rounded to float as the product T M rounds it.
struct AffineFactors {
  Wide a[3][4];
  AffineFactors(const Mat4& M, const Vec3& t) {
    const float shift[3] = {t.x, t.y, t.z};
    for (int k = 0; k < 3; ++k) {
      for (int c = 0; c < 3; ++c) broadcast(M[4 * k + c], a[k][c]);
      broadcast(static_cast<float>(double(M[4 * k + 3]) + shift[k]), a[k][3]);
    }
  }
};

// D * A for an affine A. Column c sums d0 a0c, d1 a1c, d2 a2c and d3 a3c,
// where a3c is 0 (left out) for c < 3 and 1 for c = 3.
inline void carryThroughAffine(const DerivativeColumns& d, const AffineFactors& A, DerivativeColumns& out) {
  Wide w[4];
  for (int k = 0; k < 4; ++k) widen(d.c[k], w[k]);
  for (int c = 0; c < 3; ++c) {
    out.c[c] = __builtin_convertvector((w[0] * A.a[0][c] + w[1] * A.a[1][c]) + w[2] * A.a[2][c], Narrow);
  }
  out.c[3] =
      __builtin_convertvector(((w[0] * A.a[0][3] + w[1] * A.a[1][3]) + w[2] * A.a[2][3]) + w[3], Narrow);
}

// D * A for an A that only translates, by t: the rotation columns stay D's own.
inline void carryThroughTranslation(const DerivativeColumns& d, const Vec3& t, DerivativeColumns& out) {
  Wide w[4];
  for (int k = 0; k < 4; ++k) widen(d.c[k], w[k]);
  out.c[0] = d.c[0], out.c[1] = d.c[1], out.c[2] = d.c[2];
  out.c[3] = __builtin_convertvector(((w[0] * double(t.x) + w[1] * double(t.y)) + w[2] * double(t.z)) + w[3],
                                     Narrow);
}

// B * d for a joint's base B = P T (kept by columns) and a row-major
// derivative d, whose bottom row is zero (its terms are left out), into
// columns. Returns whether rows 0 to 2 hold a non-zero element.
inline bool baseTimesDerivative(const WorldColumns& B, const Mat4& d, DerivativeColumns& out) {
  Wide e[3][4];  // e[k][c]: d's element (k, c) in every lane
  for (int k = 0; k < 3; ++k) broadcastElements(d.m + 4 * k, e[k]);
  products::NarrowMask nonZero{};
  for (int c = 0; c < 4; ++c) {
    narrow((B.c[0] * e[0][c] + B.c[1] * e[1][c]) + B.c[2] * e[2][c], out.c[c], nonZero);
  }
  return products::anyOfFirstThree(nonZero);
}

// The term a handle adds to a DOF's gradient: L times the derivative, rounded
// to float, applied to the handle's local point p, dotted with its error e,
// all in float as the scalar sums ((x0 p.x + x1 p.y) + x2 p.z) + x3 and
// (jx e.x + jy e.y) + jz e.z.
inline float gradientTerm(const DerivativeColumns& d, double L, const Vec3& p, const Vec3& e) {
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
