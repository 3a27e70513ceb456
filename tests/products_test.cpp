#include "math/Products.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "ik/DerivativeColumns.h"

// The structured products against the full Mat4 product, element for
// element. The kernels may differ from it only in the sign of a zero, so
// elements are compared as values (0.0f == -0.0f) and must otherwise be equal
// to the bit.
namespace {

std::mt19937 rng(77);

float any() { return std::uniform_real_distribution<float>(-2.0f, 2.0f)(rng); }

// Random rows 0 to 2, some elements exactly zero, and the given bottom row.
Mat4 randomMatrix(float m12, float m13, float m14, float m15) {
  Mat4 m;
  for (int i = 0; i < 12; ++i) m[i] = rng() % 5 == 0 ? 0.0f : any();
  m[12] = m12, m[13] = m13, m[14] = m14, m[15] = m15;
  return m;
}
Mat4 randomAffine() { return randomMatrix(0, 0, 0, 1); }
Mat4 randomDerivative() { return randomMatrix(0, 0, 0, 0); }

void expectTopRowsEqual(const Mat4& expected, const Mat4& actual) {
  for (int i = 0; i < 12; ++i) EXPECT_EQ(expected[i], actual[i]) << "element " << i;
}

bool topRowsNonZero(const Mat4& m) {
  for (int i = 0; i < 12; ++i) {
    if (m[i] != 0.0f) return true;
  }
  return false;
}

}  // namespace

TEST(Products, ShortProductsGiveTheElementsOfTheFullOne) {
  for (int trial = 0; trial < 200; ++trial) {
    const Mat4 a = randomAffine(), b = randomAffine(), d = randomDerivative();
    expectTopRowsEqual(a * b, products::affineTimesAffine(a, b));
    expectTopRowsEqual(a * b, products::product(a, b));
    Mat4 out;
    EXPECT_EQ(products::derivativeTimesAffine(d, products::WideRows(b), out), topRowsNonZero(d * b));
    expectTopRowsEqual(d * b, out);
    EXPECT_EQ(products::matrixTimesDerivative(a, d, out), topRowsNonZero(a * d));
    expectTopRowsEqual(a * d, out);
    const Vec3 t(any(), any(), any());
    expectTopRowsEqual(translationMatrix(t) * a, products::translationTimesAffine(t, a));
  }
}

TEST(Products, ZeroDerivativesStayZeroAndAreReportedSo) {
  const Mat4 zero = Mat4::zero(), a = randomAffine();
  Mat4 out;
  EXPECT_FALSE(products::derivativeTimesAffine(zero, products::WideRows(a), out));
  EXPECT_FALSE(products::matrixTimesDerivative(a, zero, out));
  columns::DerivativeColumns c;
  EXPECT_FALSE(columns::baseTimesDerivative(columns::toWorldColumns(a), zero, c));
}

TEST(DerivativeColumns, CarryingAndOwnProductsMatchTheFullProduct) {
  for (int trial = 0; trial < 200; ++trial) {
    const Mat4 d = randomDerivative(), M = randomAffine(), P = randomAffine();
    const Vec3 t(any(), any(), any());
    const columns::DerivativeColumns D = columns::toColumns(d);
    expectTopRowsEqual(d, columns::toMatrix(D));

    // Through the joint M attached at t: D (T M).
    columns::DerivativeColumns out;
    columns::carryThroughAffine(D, columns::AffineFactors(M, t), out);
    expectTopRowsEqual(d * (translationMatrix(t) * M), columns::toMatrix(out));

    columns::carryThroughTranslation(D, t, out);
    expectTopRowsEqual(d * translationMatrix(t), columns::toMatrix(out));

    EXPECT_EQ(columns::baseTimesDerivative(columns::toWorldColumns(P), d, out), topRowsNonZero(P * d));
    expectTopRowsEqual(P * d, columns::toMatrix(out));
  }
}

TEST(DerivativeColumns, GradientTermIsTheScalarSumInFloat) {
  for (int trial = 0; trial < 200; ++trial) {
    const Mat4 d = randomDerivative();
    const Vec3 p(any(), any(), any()), e(any(), any(), any());
    for (double L : {1.0, 3.0, 0.05, 0.15}) {
      float s[12];
      for (int i = 0; i < 12; ++i) s[i] = static_cast<float>(L * d[i]);
      const float jx = s[0] * p.x + s[1] * p.y + s[2] * p.z + s[3];
      const float jy = s[4] * p.x + s[5] * p.y + s[6] * p.z + s[7];
      const float jz = s[8] * p.x + s[9] * p.y + s[10] * p.z + s[11];
      const float expected = jx * e.x + jy * e.y + jz * e.z;
      const float actual = columns::gradientTerm(columns::toColumns(d), L, p, e);
      EXPECT_EQ(std::memcmp(&expected, &actual, sizeof(float)), 0)
          << expected << " vs " << actual << ", L " << L;
    }
  }
}

// World matrices kept by columns: every element, the bottom row included,
// is the one operator* gives, for affine and for general matrices.
TEST(WorldColumns, ProductsAndPointsMatchTheRowMajorOnes) {
  for (int trial = 0; trial < 200; ++trial) {
    const Mat4 P = trial % 2 ? randomAffine() : randomMatrix(any(), any(), any(), any());
    const Mat4 B = trial % 3 ? randomAffine() : randomMatrix(any(), 0, any(), any());
    columns::WorldColumns out;
    columns::worldTimes(columns::toWorldColumns(P), B, out);
    const Mat4 expected = P * B, actual = columns::toMatrix(out);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(std::memcmp(&expected.m[i], &actual.m[i], sizeof(float)), 0) << i;

    const Vec3 t(any(), any(), any());
    columns::worldTimesTranslation(columns::toWorldColumns(P), t, out);
    const Mat4 shifted = P * translationMatrix(t), viaColumns = columns::toMatrix(out);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(shifted[i], viaColumns[i]) << i;

    const Vec3 p(any(), any(), any());
    const Vec3 x = transformPoint(P, p), y = columns::pointThrough(columns::toWorldColumns(P), p);
    EXPECT_EQ(std::memcmp(&x, &y, sizeof(Vec3)), 0);
  }
}
