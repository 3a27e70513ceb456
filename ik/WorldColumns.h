#pragma once

#include "math/Products.h"

// The gradient pass keeps world matrices by columns, each column's four
// float elements widened to double lanes. A product P * B then takes B's
// elements as scalars and P's columns as vectors, summing every element in
// double in the order of operator* (k = 0 to 3) and rounding it to float
// once, so the elements are exactly those of the row-major product. The lanes
// always hold float values: a product is rounded before it is stored.
namespace columns {

using products::Narrow;
using products::Wide;

struct WorldColumns {
  Wide c[4];
};

typedef long long WideIndex __attribute__((vector_size(32)));

// The four elements of a float row, each widened into all four lanes: one
// conversion and four permutations.
inline void broadcastElements(const float* row, Wide out[4]) {
  Wide w;
  products::widen(products::loadNarrow(row), w);
  out[0] = __builtin_shuffle(w, WideIndex{0, 0, 0, 0});
  out[1] = __builtin_shuffle(w, WideIndex{1, 1, 1, 1});
  out[2] = __builtin_shuffle(w, WideIndex{2, 2, 2, 2});
  out[3] = __builtin_shuffle(w, WideIndex{3, 3, 3, 3});
}

// Rounds every lane to float and back, as storing the product in a Mat4 does.
inline void roundToFloat(const Wide& v, Wide& out) {
  products::widen(__builtin_convertvector(v, Narrow), out);
}

inline WorldColumns toWorldColumns(const Mat4& m) {
  WorldColumns w;
  for (int k = 0; k < 4; ++k) w.c[k] = Wide{m[k], m[4 + k], m[8 + k], m[12 + k]};
  return w;
}

inline Mat4 toMatrix(const WorldColumns& w) {
  Mat4 m;
  for (int r = 0; r < 4; ++r) {
    for (int k = 0; k < 4; ++k) m[4 * r + k] = static_cast<float>(w.c[k][r]);
  }
  return m;
}

// P * B, every element a full sum of four terms.
inline void worldTimes(const WorldColumns& P, const Mat4& B, WorldColumns& out) {
  Wide b[4][4];  // b[k][c]: B's element (k, c) in every lane
  for (int k = 0; k < 4; ++k) broadcastElements(B.m + 4 * k, b[k]);
  for (int c = 0; c < 4; ++c) {
    roundToFloat(((P.c[0] * b[0][c] + P.c[1] * b[1][c]) + P.c[2] * b[2][c]) + P.c[3] * b[3][c], out.c[c]);
  }
}

// P * T for the translation T by t: the first three columns stay P's own.
inline void worldTimesTranslation(const WorldColumns& P, const Vec3& t, WorldColumns& out) {
  out.c[0] = P.c[0], out.c[1] = P.c[1], out.c[2] = P.c[2];
  roundToFloat(((P.c[0] * double(t.x) + P.c[1] * double(t.y)) + P.c[2] * double(t.z)) + P.c[3], out.c[3]);
}

// Rows 0 to 2 applied to (p, 1) in float, as transformPoint does.
inline Vec3 pointThrough(const WorldColumns& W, const Vec3& p) {
  Narrow n[4];
  for (int k = 0; k < 4; ++k) n[k] = __builtin_convertvector(W.c[k], Narrow);
  const Narrow x = ((n[0] * p.x + n[1] * p.y) + n[2] * p.z) + n[3];
  return Vec3(x[0], x[1], x[2]);
}

}  // namespace columns
