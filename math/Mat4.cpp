#include "math/Mat4.h"

#include <cmath>
#include <utility>

Mat4 Mat4::inverse() const {
  float W[4][4];
  float R[4][4];
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      W[r][c] = m[4 * r + c];
      R[r][c] = r == c ? 1.0f : 0.0f;
    }
  }
  // Flushing tiny leftovers to zero keeps round-off from posing as data.
  auto flush = [](float v) { return std::fabs(v) < 1e-8 ? 0.0f : v; };

  for (int c = 0; c < 4; ++c) {
    int p = c;
    for (int r = c + 1; r < 4; ++r) {
      if (std::fabs(W[r][c]) > std::fabs(W[p][c])) p = r;
    }
    if (p != c) {
      std::swap(W[p], W[c]);
      std::swap(R[p], R[c]);
    }
    if (W[c][c] == 0.0f) return Mat4();

    const float pivot = W[c][c];
    for (int k = 0; k < 4; ++k) {
      W[c][k] /= pivot;
      R[c][k] /= pivot;
    }
    for (int r = 0; r < 4; ++r) {
      if (r == c) continue;
      const float f = W[r][c];
      for (int k = 0; k < 4; ++k) {
        R[r][k] = flush(R[r][k] - f * R[c][k]);
        W[r][k] = flush(W[r][k] - f * W[c][k]);
      }
    }
  }

  Mat4 result;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) result.m[4 * r + c] = R[r][c];
  }
  return result;
}

void setDiagonal(Mat4& M, float d) {
  M = Mat4::zero();
  M[0] = M[5] = M[10] = M[15] = d;
}

void setTranslation(Mat4& M, const Vec3& v) { M = translationMatrix(v); }

void setRotationX(Mat4& M, float angle) {
  const float c = static_cast<float>(std::cos(double(angle)));
  const float s = static_cast<float>(std::sin(double(angle)));
  M = Mat4();
  M[5] = c;
  M[6] = -s;
  M[9] = s;
  M[10] = c;
}

void setRotationY(Mat4& M, float angle) {
  const float c = static_cast<float>(std::cos(double(angle)));
  const float s = static_cast<float>(std::sin(double(angle)));
  M = Mat4();
  M[0] = c;
  M[2] = s;
  M[8] = -s;
  M[10] = c;
}
