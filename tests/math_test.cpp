#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <tuple>

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

// Component by component, to within tol (none: equal).
void expectVec(const Vec3& v, double x, double y, double z, double tol = 0) {
  EXPECT_NEAR(v.x, x, tol);
  EXPECT_NEAR(v.y, y, tol);
  EXPECT_NEAR(v.z, z, tol);
}
void expectQuat(const Quat& q, double x, double y, double z, double w, double tol = 0) {
  EXPECT_NEAR(q.x, x, tol);
  EXPECT_NEAR(q.y, y, tol);
  EXPECT_NEAR(q.z, z, tol);
  EXPECT_NEAR(q.w, w, tol);
}

// toMatrix written out again in double, as the finite-difference reference:
// of q with its k-th component moved by d.
void rotationDouble(const double q[4], int k, double d, double R[9]) {
  const double x = q[0] + (k == 0) * d, y = q[1] + (k == 1) * d;
  const double z = q[2] + (k == 2) * d, w = q[3] + (k == 3) * d;
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
  expectVec(Vec3(0.1f, 1.0f, 3.0f) * 0.1, static_cast<float>(double(0.1f) * 0.1), static_cast<float>(0.1),
            static_cast<float>(3.0 * 0.1));
}

TEST(Vec3, CrossProduct) {
  expectVec(cross(Vec3(1.5f, -2, 3), Vec3(1.5f, -2, 3)), 0, 0, 0);
  expectVec(cross(Vec3(1, 0, 0), Vec3(0, 1, 0)), 0, 0, 1);
}

TEST(Mat4, ProductComposesTransformsRightToLeft) {
  const Mat4 t = translationMatrix(1, 2, 3) * translationMatrix(10, 20, 30);
  EXPECT_EQ(std::make_tuple(t[3], t[7], t[11]), std::make_tuple(11.0f, 22.0f, 33.0f));
  const Mat4 m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
  expectMatEq(Mat4() * m, m);
  expectMatEq(m * Mat4(), m);
  // Scale after translation: the translation is scaled too.
  expectVec(transformPoint(scaleMatrix(2, 3, 4) * translationMatrix(1, 1, 1), Vec3()), 2, 3, 4);
}

TEST(Mat4, ProductAccumulatesInDoubleAndRoundsOnce) {
  // In float, 1e8 + 1 - 1e8 loses the 1; accumulated in double it survives.
  const Mat4 a(1e8f, 1, -1e8f, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  const Mat4 b(1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1);
  EXPECT_EQ((a * b)[0], 1.0f);
  // Assigning back to an operand is safe.
  Mat4 m = translationMatrix(1, 0, 0);
  m = m * scaleMatrix(2, 2, 2);
  EXPECT_EQ(std::make_pair(m[0], m[3]), std::make_pair(2.0f, 1.0f));
}

TEST(Mat4, TransformPointIgnoresTheBottomRow) {
  Mat4 m = translationMatrix(1, 2, 3);
  m[12] = 7, m[13] = 8, m[14] = 9, m[15] = 10;
  expectVec(transformPoint(m, Vec3(1, 1, 1)), 2, 3, 4);
}

TEST(Mat4, InverseOfScaleAndTranslationAndOfASwapOfRows) {
  Mat4 m = scaleMatrix(2, 3, 4);
  m[3] = 5, m[7] = 6, m[11] = 7;
  Mat4 expected = scaleMatrix(0.5f, 1.0f / 3.0f, 0.25f);
  expected[3] = -2.5f, expected[7] = -2.0f, expected[11] = -1.75f;
  expectMatNear(m.inverse(), expected, 1e-6f);
  // Its first pivot is zero.
  const Mat4 swapXY(0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  expectMatNear(swapXY.inverse(), swapXY, 0);
}

TEST(Mat4, InverseOfSingularMatrixIsIdentity) {
  const Mat4 rank3(1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  for (const Mat4& singular : {rank3, scaleMatrix(1, 0, 1), Mat4::zero()})
    expectMatNear(singular.inverse(), Mat4(), 0);
}

TEST(Mat4, InverseTimesMatrixIsIdentityForAGeneralRigidTransform) {
  Mat4 rx, ry;
  setRotationX(rx, 0.7f);
  setRotationY(ry, -1.3f);
  const Mat4 m = translationMatrix(0.3f, -2, 5) * rx * ry * scaleMatrix(0.2f, 0.4f, 0.1f);
  expectMatNear(m * m.inverse(), Mat4(), 1e-5f);
}

TEST(Mat4, RotationBuildersAreRightHanded) {
  Mat4 rx, ry;
  setRotationX(rx, static_cast<float>(M_PI / 2));
  expectVec(transformPoint(rx, Vec3(0, 1, 0)), 0, 0, 1, 1e-7);
  setRotationY(ry, static_cast<float>(M_PI / 2));
  expectVec(transformPoint(ry, Vec3(0, 0, 1)), 1, 0, 0, 1e-7);
  // The builders overwrite everything they were given.
  Mat4 m = Mat4::zero();
  m[3] = 9;
  setRotationY(m, 0);
  expectMatNear(m, Mat4(), 0);
  setDiagonal(m, 1);
  expectMatNear(m, Mat4(), 0);
  setTranslation(m, Vec3(1, 2, 3));
  EXPECT_EQ(std::make_pair(m[0], m[7]), std::make_pair(1.0f, 2.0f));
}

TEST(Mat4, ColumnMajorCopyMovesTheTranslationToTheLastColumnOfMemory) {
  float gl[16];
  translationMatrix(1, 2, 3).toColumnMajor(gl);
  EXPECT_EQ(std::make_tuple(gl[12], gl[13], gl[14], gl[3]), std::make_tuple(1.0f, 2.0f, 3.0f, 0.0f));
}

TEST(Quat, FromEulerWorkedValues) {
  expectQuat(Quat::fromEuler(0, 0, 0), 0, 0, 0, 1);
  expectQuat(Quat::fromEuler(0, 0, 1.0), 0, 0, 0.479426, 0.877583, 5e-7);
  const Quat q = Quat::fromEuler(0.3, 0.5, -0.7);
  expectQuat(q, 0.052132, 0.279444, -0.293777, 0.912627, 5e-7);
  EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1.0, 1e-15);
}

TEST(Quat, FromEulerAppliesZThenYThenX) {
  const double rx = 0.3, ry = 0.5, rz = -0.7;
  Mat4 mx, my, mz;  // mz about z, by hand
  setRotationX(mx, float(rx));
  setRotationY(my, float(ry));
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
  for (const Quat& q : {Quat(0, 0, 0, 1), Quat(0, 0, 0, 0), Quat(0, 0, 0, 5)})
    expectMatNear(q.toMatrix(), Mat4(), 0);
  expectMatNear(Quat(0.2, 0.4, -0.1, 0.3).toMatrix(), Quat(0.6, 1.2, -0.3, 0.9).toMatrix(), 1e-6f);
  const double theta = 1.2;
  Mat4 rx;
  setRotationX(rx, float(theta));
  expectMatNear(Quat(std::sin(theta / 2), 0, 0, std::cos(theta / 2)).toMatrix(), rx, 1e-6f);
}

TEST(Quat, NormalizeLeavesZeroAlone) {
  Quat q(0, 0, 0, 0), p(0, 3, 0, 4);
  q.normalize();
  p.normalize();
  expectQuat(q, 0, 0, 0, 0);
  expectQuat(p, 0, 0.6, 0, 0.8, 1e-15);
}

TEST(QuatDerivative, AtIdentityAndZero) {
  Mat4 dx = Mat4::zero();
  dx[6] = -2, dx[9] = 2;
  expectMatEq(Quat().toMatrixDerivative(0), dx);
  EXPECT_TRUE(Quat().toMatrixDerivative(3).isZero());
  for (int k = 0; k < 4; ++k) EXPECT_TRUE(Quat(0, 0, 0, 0).toMatrixDerivative(k).isZero());
  for (int k : {4, -1}) EXPECT_TRUE(Quat(0.1, 0.2, 0.3, 0.4).toMatrixDerivative(k).isZero()) << k;
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
        double Rp[9], Rm[9];
        rotationDouble(q, k, h, Rp);
        rotationDouble(q, k, -h, Rm);
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
  expectQuat(Quat::fromEuler(0.3, -0.21, 0.09), 0x1.26821e79360c9p-3, -0x1.c36c69813bd1p-4, 0x1.d4645d7c9ed4ap-6,
             0x1.f7504f7d435f4p-1);
}
