#pragma once

#include <cstdint>
#include <cstring>

#include "math/Mat4.h"

// Matrix products on row-major Mat4s that compute only what later steps read.
// Each element is summed in double in the order of the full product and
// rounded once, so it is exactly the element operator* gives; only terms that
// a known zero row of the other operand makes zero are left out, which can
// change nothing but the sign of a zero.
//
// Rows are held as four doubles in a GCC vector (Wide). The code is plain C++
// with vector extensions: it compiles for any target, takes two SSE2
// instructions per Wide operation in an ordinary x86-64 build and one when
// inlined into a function built for AVX2. No Wide is passed or returned by
// value, so no interface depends on the instruction set.
namespace products {

// Aligned to its size in every translation unit: built without AVX, GCC
// gives a 32-byte vector only 16 bytes of alignment, while code built for
// AVX2 moves it with aligned 32-byte instructions.
typedef double Wide __attribute__((vector_size(32), aligned(32)));
typedef float Narrow __attribute__((vector_size(16)));
typedef int NarrowMask __attribute__((vector_size(16)));

inline Narrow loadNarrow(const float* p) {
  Narrow v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Four floats as four doubles. Written lane by lane, which GCC turns into one
// conversion; its __builtin_convertvector splits the vector in halves.
inline void widen(const Narrow& v, Wide& out) { out = Wide{v[0], v[1], v[2], v[3]}; }

// Reductions of a comparison's lanes, through two 64-bit halves: a few plain
// instructions on any target.
inline bool anyLane(const NarrowMask& m) {
  std::uint64_t half[2];
  std::memcpy(half, &m, sizeof half);
  return (half[0] | half[1]) != 0;
}
inline bool allLanes(const NarrowMask& m) {
  std::uint64_t half[2];
  std::memcpy(half, &m, sizeof half);
  return (half[0] & half[1]) == ~std::uint64_t{0};
}
inline bool anyOfFirstThree(const NarrowMask& m) { return anyLane(m & NarrowMask{-1, -1, -1, 0}); }

inline bool isAffine(const Mat4& a) { return allLanes(loadNarrow(a.m + 12) == Narrow{0, 0, 0, 1}); }

// The shape of every derivative of a transform's matrix.
inline bool hasZeroBottomRow(const Mat4& a) { return allLanes(loadNarrow(a.m + 12) == Narrow{}); }

// Rows 0 to 2 begin with the identity's 3x3 block; the translation column
// is not looked at.
inline bool hasIdentityRotation(const Mat4& a) {
  const NarrowMask translation{0, 0, 0, -1};
  return allLanes((loadNarrow(a.m) == Narrow{1, 0, 0, 0}) | translation) &&
         allLanes((loadNarrow(a.m + 4) == Narrow{0, 1, 0, 0}) | translation) && a[8] == 0 && a[9] == 0 &&
         a[10] == 1;
}

// True when rows 0 to 2 hold only zeros (of either sign), as Mat4::isZero is
// on a matrix whose bottom row is known to be zero.
inline bool topRowsZero(const Mat4& a) {
  const Narrow zero{};
  return !anyLane((loadNarrow(a.m) != zero) | (loadNarrow(a.m + 4) != zero) | (loadNarrow(a.m + 8) != zero));
}

// The four rows of a float matrix as doubles, widened once for many products.
struct WideRows {
  Wide row[4];
  explicit WideRows(const Mat4& m) {
    for (int r = 0; r < 4; ++r) widen(loadNarrow(m.m + 4 * r), row[r]);
  }
};

// Rows 0 to 2 of p * b, with the first Terms terms of each element's sum
// (Terms = 3 when b's bottom row is zero). Returns whether any element is
// non-zero.
template <int Terms>
inline bool rowsTimes(const float* p, const WideRows& b, float* out) {
  NarrowMask nonZero{};
  for (int r = 0; r < 3; ++r) {
    const float* row = p + 4 * r;
    Wide sum = (double(row[0]) * b.row[0] + double(row[1]) * b.row[1]) + double(row[2]) * b.row[2];
    if (Terms == 4) sum += double(row[3]) * b.row[3];
    const Narrow rounded = __builtin_convertvector(sum, Narrow);
    std::memcpy(out + 4 * r, &rounded, sizeof rounded);
    nonZero |= rounded != Narrow{};
  }
  return anyLane(nonZero);
}

// d * a for a derivative d (bottom row zero) and an affine a, the right
// factor widened; returns whether the product is non-zero.
inline bool derivativeTimesAffine(const Mat4& d, const WideRows& a, Mat4& out) {
  out[12] = out[13] = out[14] = out[15] = 0.0f;
  return rowsTimes<4>(d.m, a, out.m);
}

// p * a for affine p and a.
inline Mat4 affineTimesAffine(const Mat4& p, const Mat4& a) {
  Mat4 out;  // bottom row 0, 0, 0, 1
  rowsTimes<4>(p.m, WideRows(a), out.m);
  return out;
}

// T * m for the translation T by t and an affine m.
inline Mat4 translationTimesAffine(const Vec3& t, const Mat4& m) {
  Mat4 out = m;
  out[3] = static_cast<float>(double(m[3]) + t.x);
  out[7] = static_cast<float>(double(m[7]) + t.y);
  out[11] = static_cast<float>(double(m[11]) + t.z);
  return out;
}

// p * d for any p and a derivative d; returns whether rows 0 to 2 hold a
// non-zero element.
inline bool matrixTimesDerivative(const Mat4& p, const Mat4& d, Mat4& out) {
  if (!hasZeroBottomRow(d)) {
    out = p * d;
    return !topRowsZero(out);
  }
  out[12] = out[13] = out[14] = out[15] = 0.0f;
  return rowsTimes<3>(p.m, WideRows(d), out.m);
}

// a * b with the elements of the full product, taking the short way when the
// bottom rows allow it.
inline Mat4 product(const Mat4& a, const Mat4& b) {
  if (isAffine(b) && isAffine(a)) return affineTimesAffine(a, b);
  if (isAffine(b) && hasZeroBottomRow(a)) {
    Mat4 out;
    derivativeTimesAffine(a, WideRows(b), out);
    return out;
  }
  if (hasZeroBottomRow(b) && (isAffine(a) || hasZeroBottomRow(a))) {
    Mat4 out;
    matrixTimesDerivative(a, b, out);
    return out;
  }
  return a * b;
}

}  // namespace products
