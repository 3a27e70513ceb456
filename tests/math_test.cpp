#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "ik_test_util.h"
#include "math/Mat4.h"
#include "math/Quat.h"
#include "math/Vec3.h"

namespace {

std::string text(const Vec3& v) {
  std::ostringstream out;
  out << v;
  return out.str();
}

// toMatrix written out again in double, as the finite-difference reference.
void rotationDouble(const double q[4], double R[9]) {
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  const double N = x * x + y * y + z * z + w * w;
  const double s = 2.0 / N;
  R[0] = 1 - s * (y * y + z * z), R[1] = s * (x * y - w * z), R[2] = s * (x * z + w * y);
  R[3] = s * (x * y + w * z), R[4] = 1 - s * (x * x + z * z), R[5] = s * (y * z - w * x);
  R[6] = s * (x * z - w * y), R[7] = s * (y * z + w * x), R[8] = 1 - s * (x * x + y * y);
}

}  // namespace

TEST(Vec3, TextFormUsesSixSignificantDigitsAndKeepsNegativeZero) {
  EXPECT_EQ(text(Vec3(1.5f, 0.0f, -0.0f)), "[1.5 0 -0]");
  EXPECT_EQ(text(Vec3(3, -2, -0.0f)), "[3 -2 -0]");
  EXPECT_EQ(text(Vec3(1.0f / 3.0f, 1234567.0f, 1e-7f)), "[0.333333 1.23457e+06 1e-07]");
}

TEST(Vec3, ScalarProductRoundsEachComponentOnce) {
  const Vec3 v = Vec3(0.1f, 1.0f, 3.0f) * 0.1;
  EXPECT_EQ(v.x, static_cast<float>(double(0.1f) * 0.1));
  EXPECT_EQ(v.y, static_cast<float>(0.1));
  EXPECT_EQ(v.z, static_cast<float>(3.0 * 0.1));
}

TEST(Vec3, CrossProduct) {
  const Vec3 a(1.5f, -2, 3);
  const Vec3 aa = cross(a, a);
  EXPECT_EQ(aa.x, 0);
  EXPECT_EQ(aa.y, 0);
  EXPECT_EQ(aa.z, 0);
  const Vec3 z = cross(Vec3(1, 0, 0), Vec3(0, 1, 0));
  EXPECT_EQ(z.x, 0);
  EXPECT_EQ(z.y, 0);
  EXPECT_EQ(z.z, 1);
}

TEST(Mat4, ProductComposesTransformsRightToLeft) {
  const Mat4 t = translationMatrix(1, 2, 3) * translationMatrix(10, 20, 30);
  EXPECT_EQ(t[3], 11);
  EXPECT_EQ(t[7], 22);
  EXPECT_EQ(t[11], 33);

  const Mat4 m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
  const Mat4 left = Mat4() * m;
  const Mat4 right = m * Mat4();
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(left[i], m[i]);
    EXPECT_EQ(right[i], m[i]);
  }
  // Scale after translation: the translation is scaled too.
  const Vec3 p = transformPoint(scaleMatrix(2, 3, 4) * translationMatrix(1, 1, 1), Vec3());
  EXPECT_EQ(p.x, 2);
  EXPECT_EQ(p.y, 3);
  EXPECT_EQ(p.z, 4);
}

TEST(Mat4, ProductAccumulatesInDoubleAndRoundsOnce) {
  // In float, 1e8 + 1 - 1e8 loses the 1; accumulated in double it survives.
  const Mat4 a(1e8f, 1, -1e8f, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  const Mat4 b(1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1);
  EXPECT_EQ((a * b)[0], 1.0f);
  // Assigning back to an operand is safe.
  Mat4 m = translationMatrix(1, 0, 0);
  m = m * scaleMatrix(2, 2, 2);
  EXPECT_EQ(m[0], 2);
  EXPECT_EQ(m[3], 1);
}

TEST(Mat4, TransformPointIgnoresTheBottomRow) {
  Mat4 m = translationMatrix(1, 2, 3);
  const Vec3 a = transformPoint(m, Vec3(1, 1, 1));
  m[12] = 7, m[13] = 8, m[14] = 9, m[15] = 10;
  const Vec3 b = transformPoint(m, Vec3(1, 1, 1));
  EXPECT_EQ(a.x, b.x);
  EXPECT_EQ(a.y, b.y);
  EXPECT_EQ(a.z, b.z);
  EXPECT_EQ(b.x, 2);
  EXPECT_EQ(b.z, 4);
}

TEST(Mat4, InverseOfScaleAndTranslation) {
  Mat4 m = scaleMatrix(2, 3, 4);
  m[3] = 5, m[7] = 6, m[11] = 7;
  Mat4 expected = scaleMatrix(0.5f, 1.0f / 3.0f, 0.25f);
  expected[3] = -2.5f, expected[7] = -2.0f, expected[11] = -1.75f;
  expectMatNear(m.inverse(), expected, 1e-6f);
}

TEST(Mat4, InverseOfSingularMatrixIsIdentity) {
  const Mat4 rank3(1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  expectMatNear(rank3.inverse(), Mat4(), 0);
  Mat4 zeroColumn = scaleMatrix(1, 0, 1);
  expectMatNear(zeroColumn.inverse(), Mat4(), 0);
  expectMatNear(Mat4::zero().inverse(), Mat4(), 0);
}

TEST(Mat4, InverseSwapsRowsForAZeroPivot) {
  const Mat4 swapXY(0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  expectMatNear(swapXY.inverse(), swapXY, 0);
}

TEST(Mat4, InverseTimesMatrixIsIdentityForAGeneralRigidTransform) {
  Mat4 r;
  setRotationX(r, 0.7f);
  Mat4 ry;
  setRotationY(ry, -1.3f);
  const Mat4 m = translationMatrix(0.3f, -2, 5) * r * ry * scaleMatrix(0.2f, 0.4f, 0.1f);
  expectMatNear(m * m.inverse(), Mat4(), 1e-5f);
}

TEST(Mat4, RotationBuildersAreRightHanded) {
  Mat4 rx;
  setRotationX(rx, static_cast<float>(M_PI / 2));
  const Vec3 a = transformPoint(rx, Vec3(0, 1, 0));
  EXPECT_NEAR(a.x, 0, 1e-7);
  EXPECT_NEAR(a.y, 0, 1e-7);
  EXPECT_NEAR(a.z, 1, 1e-7);
  Mat4 ry;
  setRotationY(ry, static_cast<float>(M_PI / 2));
  const Vec3 b = transformPoint(ry, Vec3(0, 0, 1));
  EXPECT_NEAR(b.x, 1, 1e-7);
  EXPECT_NEAR(b.z, 0, 1e-7);
  // The builders overwrite everything they were given.
  Mat4 m = Mat4::zero();
  m[3] = 9;
  setRotationY(m, 0);
  expectMatNear(m, Mat4(), 0);
  setDiagonal(m, 1);
  expectMatNear(m, Mat4(), 0);
  setTranslation(m, Vec3(1, 2, 3));
  EXPECT_EQ(m[0], 1);
  EXPECT_EQ(m[7], 2);
}

TEST(Mat4, ColumnMajorCopyMovesTheTranslationToTheLastColumnOfMemory) {
  float gl[16];
  translationMatrix(1, 2, 3).toColumnMajor(gl);
  EXPECT_EQ(gl[12], 1);
  EXPECT_EQ(gl[13], 2);
  EXPECT_EQ(gl[14], 3);
  EXPECT_EQ(gl[3], 0);
}

TEST(Quat, FromEulerWorkedValues) {
  const Quat id = Quat::fromEuler(0, 0, 0);
  EXPECT_EQ(id.x, 0);
  EXPECT_EQ(id.w, 1);
  const Quat z = Quat::fromEuler(0, 0, 1.0);
  EXPECT_NEAR(z.z, 0.479426, 5e-7);
  EXPECT_NEAR(z.w, 0.877583, 5e-7);
  const Quat q = Quat::fromEuler(0.3, 0.5, -0.7);
  EXPECT_NEAR(q.x, 0.052132, 5e-7);
  EXPECT_NEAR(q.y, 0.279444, 5e-7);
  EXPECT_NEAR(q.z, -0.293777, 5e-7);
  EXPECT_NEAR(q.w, 0.912627, 5e-7);
  EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1.0, 1e-15);
}

TEST(Quat, FromEulerAppliesZThenYThenX) {
  const double rx = 0.3, ry = 0.5, rz = -0.7;
  Mat4 mx, my;
  setRotationX(mx, float(rx));
  setRotationY(my, float(ry));
  Mat4 mz;  // about z, by hand
  mz[0] = float(std::cos(rz)), mz[1] = float(-std::sin(rz)), mz[4] = float(std::sin(rz)),
  mz[5] = float(std::cos(rz));
  expectMatNear(Quat::fromEuler(rx, ry, rz).toMatrix(), mx * my * mz, 1e-6f);
}

TEST(Quat, HamiltonProductMatchesMatrixProduct) {
  const Quat a = Quat::fromEuler(0.4, -0.2, 1.1);
  const Quat b(0.3, -0.5, 0.2, 0.7);  // not unit length
  expectMatNear((a * b).toMatrix(), a.toMatrix() * b.toMatrix(), 1e-6f);
}

TEST(Quat, ToMatrixIgnoresLengthAndMapsZeroToIdentity) {
  expectMatNear(Quat(0, 0, 0, 1).toMatrix(), Mat4(), 0);
  expectMatNear(Quat(0, 0, 0, 0).toMatrix(), Mat4(), 0);
  expectMatNear(Quat(0, 0, 0, 5).toMatrix(), Mat4(), 0);
  expectMatNear(Quat(0.2, 0.4, -0.1, 0.3).toMatrix(), Quat(0.6, 1.2, -0.3, 0.9).toMatrix(), 1e-6f);
  const double theta = 1.2;
  Mat4 rx;
  setRotationX(rx, float(theta));
  expectMatNear(Quat(std::sin(theta / 2), 0, 0, std::cos(theta / 2)).toMatrix(), rx, 1e-6f);
}

TEST(Quat, NormalizeLeavesZeroAlone) {
  Quat q(0, 0, 0, 0);
  q.normalize();
  EXPECT_EQ(q.w, 0);
  EXPECT_FALSE(std::isnan(q.x));
  Quat p(0, 3, 0, 4);
  p.normalize();
  EXPECT_DOUBLE_EQ(p.y, 0.6);
  EXPECT_DOUBLE_EQ(p.w, 0.8);
}

TEST(QuatDerivative, AtIdentityAndZero) {
  const Mat4 dx = Quat().toMatrixDerivative(0);
  for (int i = 0; i < 16; ++i) {
    const float expected = i == 6 ? -2.0f : i == 9 ? 2.0f : 0.0f;
    EXPECT_EQ(dx[i], expected) << i;
  }
  EXPECT_TRUE(Quat().toMatrixDerivative(3).isZero());
  for (int k = 0; k < 4; ++k) EXPECT_TRUE(Quat(0, 0, 0, 0).toMatrixDerivative(k).isZero());
  EXPECT_TRUE(Quat(0.1, 0.2, 0.3, 0.4).toMatrixDerivative(4).isZero());
  EXPECT_TRUE(Quat(0.1, 0.2, 0.3, 0.4).toMatrixDerivative(-1).isZero());
}

TEST(QuatDerivative, MatchesCentralFiniteDifferenceForLengthsHalfToTwo) {
  const double h = 1e-6;
  const double directions[][4] = {{0.3, -0.5, 0.2, 0.7}, {0.9, 0.1, -0.3, 0.2}, {-0.1, 0.2, 0.95, -0.2}};
  for (const auto& dir : directions) {
    const double n = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2] + dir[3] * dir[3]);
    for (double len : {0.5, 0.8, 1.0, 1.5, 2.0}) {
      // Components exactly representable in float, as the derivative sees them.
      double q[4];
      for (int i = 0; i < 4; ++i) q[i] = static_cast<float>(dir[i] / n * len);
      const Quat quat(q[0], q[1], q[2], q[3]);
      for (int k = 0; k < 4; ++k) {
        double plus[4], minus[4], Rp[9], Rm[9];
        std::copy(q, q + 4, plus);
        std::copy(q, q + 4, minus);
        plus[k] += h;
        minus[k] -= h;
        rotationDouble(plus, Rp);
        rotationDouble(minus, Rm);
        const Mat4 D = quat.toMatrixDerivative(k);
        for (int r = 0; r < 3; ++r) {
          for (int c = 0; c < 3; ++c) {
            const double fd = (Rp[3 * r + c] - Rm[3 * r + c]) / (2 * h);
            // Float arithmetic: relative to the size of the derivative.
            EXPECT_NEAR(D[4 * r + c], fd, 1e-6 * std::max(1.0, std::fabs(fd)))
                << "len " << len << " k " << k << " r " << r << " c " << c;
          }
        }
        for (int i : {3, 7, 11, 12, 13, 14, 15}) EXPECT_EQ(D[i], 0.0f);
      }
    }
  }
}

// Every sine passes through a float, exactly: the values below were computed
// outside the program (float-rounded sines, the Hamilton products in the
// written order, in double). An optimiser that drops one rounding shows here.
TEST(Quat, FromEulerRoundsEachSineToFloat) {
  const Quat q = Quat::fromEuler(0.3, -0.21, 0.09);
  EXPECT_EQ(q.x, 0x1.26821e79360c9p-3);
  EXPECT_EQ(q.y, -0x1.c36c69813bd1p-4);
  EXPECT_EQ(q.z, 0x1.d4645d7c9ed4ap-6);
  EXPECT_EQ(q.w, 0x1.f7504f7d435f4p-1);
}
