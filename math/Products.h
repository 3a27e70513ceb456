#pragma once

#include <emmintrin.h>

#include <cstring>

#include "math/Mat4.h"

// Products that compute only what later steps read (rows 0 to 2). Each
// element is summed in double in the order of the full product and rounded
// once, so it is exactly the element the full product gives; only terms that
// a known zero row of the other operand makes zero are left out, which can
// change nothing but the sign of a zero.
//
// A row is held as four doubles in a GCC vector: in an ordinary build each
// operation becomes two SSE2 instructions, and inlined into a function built
// for AVX2 it becomes one. Nothing here passes such a vector by value, which
// would depend on the instruction set.
namespace products {

typedef double Wide __attribute__((vector_size(32)));
typedef float Narrow __attribute__((vector_size(16)));

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

// True when rows 0 to 2 hold only zeros (of either sign), as for Mat4::isZero
// on a matrix whose bottom row is known to be zero.
inline bool topRowsZero(const Mat4& a) {
  const __m128 zero = _mm_setzero_ps();
  const __m128 any =
      _mm_or_ps(_mm_or_ps(_mm_cmpneq_ps(_mm_loadu_ps(a.m), zero), _mm_cmpneq_ps(_mm_loadu_ps(a.m + 4), zero)),
                _mm_cmpneq_ps(_mm_loadu_ps(a.m + 8), zero));
  return _mm_movemask_ps(any) == 0;
}

// The four rows of a float matrix as doubles, widened once for many products.
struct WideMatrix {
  Wide row[4];
  explicit WideMatrix(const Mat4& m) {
    for (int r = 0; r < 4; ++r) {
      Narrow v;
      std::memcpy(&v, m.m + 4 * r, sizeof v);
      row[r] = __builtin_convertvector(v, Wide);
    }
  }
};

// Rows 0 to 2 of p * b, with the first Terms terms of each element's sum
// (Terms = 3 when b's bottom row is zero). Returns whether any element is
// non-zero.
template <int Terms>
inline bool rowsTimes(const float* p, const WideMatrix& b, float* out) {
  int nonZero = 0;
  for (int r = 0; r < 3; ++r) {
    const float* row = p + 4 * r;
    Wide sum = (double(row[0]) * b.row[0] + double(row[1]) * b.row[1]) + double(row[2]) * b.row[2];
    if (Terms == 4) sum += double(row[3]) * b.row[3];
    const Narrow rounded = __builtin_convertvector(sum, Narrow);
    std::memcpy(out + 4 * r, &rounded, sizeof rounded);
    nonZero |= _mm_movemask_ps(_mm_cmpneq_ps(rounded, _mm_setzero_ps()));
  }
  return nonZero != 0;
}

// d * a for a derivative d (bottom row zero) and an affine a; returns whether
// it is non-zero.
inline bool derivativeTimesAffine(const Mat4& d, const WideMatrix& a, Mat4& out) {
  out[12] = out[13] = out[14] = out[15] = 0.0f;
  return rowsTimes<4>(d.m, a, out.m);
}

// p * a for affine p and a.
inline Mat4 affineTimesAffine(const Mat4& p, const Mat4& a) {
  Mat4 out;  // bottom row 0, 0, 0, 1
  rowsTimes<4>(p.m, WideMatrix(a), out.m);
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
inline bool timesDerivative(const Mat4& p, const Mat4& d, Mat4& out) {
  if (!hasZeroBottomRow(d)) {
    out = p * d;
    return !topRowsZero(out);
  }
  out[12] = out[13] = out[14] = out[15] = 0.0f;
  return rowsTimes<3>(p.m, WideMatrix(d), out.m);
}

// a * b with the elements of the full product, taking the short way when the
// bottom rows allow it.
inline Mat4 product(const Mat4& a, const Mat4& b) {
  if (isAffine(b)) {
    if (isAffine(a)) return affineTimesAffine(a, b);
    if (hasZeroBottomRow(a)) {
      Mat4 out;
      derivativeTimesAffine(a, WideMatrix(b), out);
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
