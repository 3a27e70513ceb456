#pragma once

#include <emmintrin.h>

#include "math/Mat4.h"

// The products below compute only what later steps read (rows 0 to 2) and
// leave out terms that a known zero in the other operand's bottom row makes
// zero. The remaining terms are summed in double in the order of the full
// product and rounded once, so every element used is exactly the one the full
// product gives (up to the sign of a zero, which no later step can see).
namespace products {

inline bool isAffine(const Mat4& a) {
  return _mm_movemask_ps(_mm_cmpeq_ps(_mm_loadu_ps(a.m + 12), _mm_set_ps(1, 0, 0, 0))) == 0xF;
}
inline bool hasZeroBottomRow(const Mat4& a) {
  return _mm_movemask_ps(_mm_cmpeq_ps(_mm_loadu_ps(a.m + 12), _mm_setzero_ps())) == 0xF;
}
inline bool hasIdentityRotation(const Mat4& a) {
  return a[0] == 1 && a[1] == 0 && a[2] == 0 && a[4] == 0 && a[5] == 1 && a[6] == 0 && a[8] == 0 &&
         a[9] == 0 && a[10] == 1;
}

// Rows 0 to 2 of a matrix as doubles, in pairs of adjacent columns, widened
// once for many products.
struct WideAffine {
  __m128d c01[3], c23[3];
  explicit WideAffine(const Mat4& m) {
    for (int r = 0; r < 3; ++r) {
      const __m128 v = _mm_loadu_ps(m.m + 4 * r);
      c01[r] = _mm_cvtps_pd(v);
      c23[r] = _mm_cvtps_pd(_mm_movehl_ps(v, v));
    }
  }
};

// Row r of a float matrix as doubles: each of its first three elements
// broadcast to both lanes, and (0, fourth element).
struct WideRow {
  __m128d e0, e1, e2, corner;
  WideRow(const float* row) {
    const __m128 v = _mm_loadu_ps(row);
    const __m128d lo = _mm_cvtps_pd(v);
    const __m128d hi = _mm_cvtps_pd(_mm_movehl_ps(v, v));
    e0 = _mm_unpacklo_pd(lo, lo);
    e1 = _mm_unpackhi_pd(lo, lo);
    e2 = _mm_unpacklo_pd(hi, hi);
    corner = _mm_unpackhi_pd(_mm_setzero_pd(), hi);
  }
};

// ((r0 * b0 + r1 * b1) + r2 * b2) for two adjacent columns, in double.
inline __m128d threeTerms(const WideRow& r, __m128d b0, __m128d b1, __m128d b2) {
  return _mm_add_pd(_mm_add_pd(_mm_mul_pd(r.e0, b0), _mm_mul_pd(r.e1, b1)), _mm_mul_pd(r.e2, b2));
}

// Stores one row; returns the mask of its non-zero elements.
inline int storeRow(float* out, __m128d left, __m128d right) {
  const __m128 row = _mm_movelh_ps(_mm_cvtpd_ps(left), _mm_cvtpd_ps(right));
  _mm_storeu_ps(out, row);
  return _mm_movemask_ps(_mm_cmpneq_ps(row, _mm_setzero_ps()));
}

// p * a for rows of p and an affine a: column 3 adds p's own fourth element
// (a's corner is 1), columns 0 to 2 add an exact zero. Rows 0 to 2 only;
// returns whether any element is non-zero.
inline bool rowsTimesAffine(const float* P, const WideAffine& w, float* O) {
  int nonZero = 0;
  for (int r = 0; r < 3; ++r) {
    const WideRow row(P + 4 * r);
    nonZero |= storeRow(O + 4 * r, threeTerms(row, w.c01[0], w.c01[1], w.c01[2]),
                        _mm_add_pd(threeTerms(row, w.c23[0], w.c23[1], w.c23[2]), row.corner));
  }
  return nonZero != 0;
}

// d * a for a derivative d and an affine a; returns whether it is non-zero.
inline bool derivativeTimesAffine(const Mat4& d, const WideAffine& w, Mat4& out) {
  out[12] = out[13] = out[14] = out[15] = 0.0f;
  return rowsTimesAffine(d.m, w, out.m);
}

// d * a for an a that only translates: the rotation columns stay d's own.
inline void derivativeTimesTranslation(const Mat4& d, const Vec3& t, Mat4& out) {
  const float* D = d.m;
  float* O = out.m;
  for (int r = 0; r < 3; ++r) {
    O[4 * r] = D[4 * r], O[4 * r + 1] = D[4 * r + 1], O[4 * r + 2] = D[4 * r + 2];
    O[4 * r + 3] = static_cast<float>(double(D[4 * r]) * t.x + double(D[4 * r + 1]) * t.y +
                                      double(D[4 * r + 2]) * t.z + double(D[4 * r + 3]));
  }
  O[12] = O[13] = O[14] = O[15] = 0.0f;
}

// p * a for affine p and a.
inline Mat4 affineTimesAffine(const Mat4& p, const Mat4& a) {
  Mat4 out;  // bottom row 0, 0, 0, 1
  rowsTimesAffine(p.m, WideAffine(a), out.m);
  return out;
}

// p * t for affine p and the translation by t.
inline Mat4 affineTimesTranslation(const Mat4& p, const Vec3& t) {
  Mat4 out = p;
  for (int r = 0; r < 3; ++r) {
    out[4 * r + 3] = static_cast<float>(double(p[4 * r]) * t.x + double(p[4 * r + 1]) * t.y +
                                        double(p[4 * r + 2]) * t.z + double(p[4 * r + 3]));
  }
  return out;
}

// t * m for the translation by t and an affine m.
inline Mat4 translationTimesAffine(const Vec3& t, const Mat4& m) {
  Mat4 out = m;
  out[3] = static_cast<float>(double(m[3]) + t.x);
  out[7] = static_cast<float>(double(m[7]) + t.y);
  out[11] = static_cast<float>(double(m[11]) + t.z);
  return out;
}

// p * d for any p and a derivative d; returns whether rows 0 to 2 hold a
// non-zero element.
inline bool timesDerivative(const Mat4& p, const Mat4& d, Mat4& out);

// True when rows 0 to 2 hold only zeros (of either sign), as for Mat4::isZero
// on a matrix whose bottom row is known to be zero.
inline bool topRowsZero(const Mat4& a) {
  const __m128 zero = _mm_setzero_ps();
  const __m128 any =
      _mm_or_ps(_mm_or_ps(_mm_cmpneq_ps(_mm_loadu_ps(a.m), zero), _mm_cmpneq_ps(_mm_loadu_ps(a.m + 4), zero)),
                _mm_cmpneq_ps(_mm_loadu_ps(a.m + 8), zero));
  return _mm_movemask_ps(any) == 0;
}

inline bool timesDerivative(const Mat4& p, const Mat4& d, Mat4& out) {
  if (!hasZeroBottomRow(d)) {
    out = p * d;
    return !topRowsZero(out);
  }
  const WideAffine w(d);  // rows 0 to 2 are all that d contributes
  int nonZero = 0;
  for (int r = 0; r < 3; ++r) {
    const WideRow row(p.m + 4 * r);
    nonZero |= storeRow(out.m + 4 * r, threeTerms(row, w.c01[0], w.c01[1], w.c01[2]),
                        threeTerms(row, w.c23[0], w.c23[1], w.c23[2]));
  }
  out[12] = out[13] = out[14] = out[15] = 0.0f;
  return nonZero != 0;
}

// a * b with the elements of the full product, taking the short way when the
// bottom rows allow it.
inline Mat4 product(const Mat4& a, const Mat4& b) {
  if (isAffine(b)) {
    if (isAffine(a)) return affineTimesAffine(a, b);
    if (hasZeroBottomRow(a)) {
      Mat4 out;
      derivativeTimesAffine(a, WideAffine(b), out);
      return out;
    }
  } else if (hasZeroBottomRow(b) && (isAffine(a) || hasZeroBottomRow(a))) {
    Mat4 out;
    timesDerivative(a, b, out);
    return out;
  }
  return a * b;
}

}  // namespace products
