// The vectors, matrices and quaternions, and the joints' transforms built on them.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <tuple>

#include "figure/Transform.h"
#include "ik_test_util.h"
#include "math/Mat4.h"
#include "math/Quat.h"
#include "math/Vec3.h"

namespace {

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

Mat4 rotationX(double a) {
  Mat4 m;
  setRotationX(m, float(a));
  return m;
}

}  // namespace

TEST(Vec3, TextFormUsesSixSignificantDigitsAndKeepsNegativeZero) {
  const std::pair<Vec3, const char*> cases[] = {{Vec3(1.5f, 0.0f, -0.0f), "[1.5 0 -0]"},
                                                {Vec3(3, -2, -0.0f), "[3 -2 -0]"},
                                                {Vec3(1.0f / 3.0f, 1234567.0f, 1e-7f), "[0.333333 1.23457e+06 1e-07]"}};
  for (const auto& [v, text] : cases) {
    std::ostringstream out;
    out << v;
    EXPECT_EQ(out.str(), text);
  }
}

TEST(Mat4, ProductComposesRightToLeftAccumulatingInDouble) {
  const Mat4 t = translationMatrix(1, 2, 3) * translationMatrix(10, 20, 30);
  EXPECT_EQ(std::make_tuple(t[3], t[7], t[11]), std::make_tuple(11.0f, 22.0f, 33.0f));
  const Mat4 m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
  expectMatEq(Mat4() * m, m);
  expectMatEq(m * Mat4(), m);
  // Scale after translation: the translation is scaled too.
  const Vec3 p = transformPoint(scaleMatrix(2, 3, 4) * translationMatrix(1, 1, 1), Vec3());
  EXPECT_EQ(std::make_tuple(p.x, p.y, p.z), std::make_tuple(2.0f, 3.0f, 4.0f));
  // In float, 1e8 + 1 - 1e8 loses the 1; accumulated in double it survives.
  const Mat4 a(1e8f, 1, -1e8f, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  const Mat4 b(1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1);
  EXPECT_EQ((a * b)[0], 1.0f);
  // Assigning back to an operand is safe.
  Mat4 s = translationMatrix(1, 0, 0);
  s = s * scaleMatrix(2, 2, 2);
  EXPECT_EQ(std::make_pair(s[0], s[3]), std::make_pair(2.0f, 1.0f));
}

// Worked inverses, one whose first pivot is zero; a singular matrix gives
// the identity.
TEST(Mat4, InverseWorkedValuesAndIdentityForSingularMatrices) {
  Mat4 scaled = scaleMatrix(2, 3, 4);
  scaled[3] = 5, scaled[7] = 6, scaled[11] = 7;
  Mat4 unscaled = scaleMatrix(0.5f, 1.0f / 3.0f, 0.25f);
  unscaled[3] = -2.5f, unscaled[7] = -2.0f, unscaled[11] = -1.75f;
  const Mat4 swapXY(0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  const Mat4 rank3(1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  const std::pair<Mat4, Mat4> cases[] = {
      {scaled, unscaled}, {swapXY, swapXY}, {rank3, Mat4()}, {scaleMatrix(1, 0, 1), Mat4()}, {Mat4::zero(), Mat4()}};
  for (const auto& [matrix, inverse] : cases) expectMatNear(matrix.inverse(), inverse, 1e-6f);
  Mat4 ry;
  setRotationY(ry, -1.3f);
  const Mat4 rigid = translationMatrix(0.3f, -2, 5) * rotationX(0.7) * ry * scaleMatrix(0.2f, 0.4f, 0.1f);
  expectMatNear(rigid * rigid.inverse(), Mat4(), 1e-5f);
}

// Values computed outside the program; the last with float-rounded sines and
// the Hamilton products in the written order, in double: an optimiser that
// drops one rounding shows there.
TEST(Quat, FromEulerWorkedValues) {
  struct Case {
    double rx, ry, rz, x, y, z, w, tolerance;
  };
  const Case cases[] = {{0, 0, 0, 0, 0, 0, 1, 0},
                        {0, 0, 1.0, 0, 0, 0.479426, 0.877583, 5e-7},
                        {0.3, 0.5, -0.7, 0.052132, 0.279444, -0.293777, 0.912627, 5e-7},
                        {0.3, -0.21, 0.09, 0x1.26821e79360c9p-3, -0x1.c36c69813bd1p-4, 0x1.d4645d7c9ed4ap-6,
                         0x1.f7504f7d435f4p-1, 0}};
  for (const Case& c : cases) {
    const Quat q = Quat::fromEuler(c.rx, c.ry, c.rz);
    EXPECT_NEAR(q.x, c.x, c.tolerance) << c.rx << " " << c.ry << " " << c.rz;
    EXPECT_NEAR(q.y, c.y, c.tolerance);
    EXPECT_NEAR(q.z, c.z, c.tolerance);
    EXPECT_NEAR(q.w, c.w, c.tolerance);
    EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1.0, 1e-15);
  }
}

TEST(Quat, LengthDoesNotMatterToTheMatrixOrToProductsAndNormalizeLeavesZeroAlone) {
  for (const Quat& q : {Quat(0, 0, 0, 1), Quat(0, 0, 0, 0), Quat(0, 0, 0, 5)})
    expectMatNear(q.toMatrix(), Mat4(), 0);
  expectMatNear(Quat(0.2, 0.4, -0.1, 0.3).toMatrix(), Quat(0.6, 1.2, -0.3, 0.9).toMatrix(), 1e-6f);
  const double theta = 1.2;
  expectMatNear(Quat(std::sin(theta / 2), 0, 0, std::cos(theta / 2)).toMatrix(), rotationX(theta), 1e-6f);
  // The Hamilton product, of a quaternion not of unit length too.
  const Quat a = Quat::fromEuler(0.4, -0.2, 1.1), b(0.3, -0.5, 0.2, 0.7);
  expectMatNear((a * b).toMatrix(), a.toMatrix() * b.toMatrix(), 1e-6f);
  Quat zero(0, 0, 0, 0), p(0, 3, 0, 4);
  zero.normalize();
  p.normalize();
  EXPECT_EQ(std::make_tuple(zero.x, zero.y, zero.z, zero.w), std::make_tuple(0.0, 0.0, 0.0, 0.0));
  EXPECT_NEAR(p.y, 0.6, 1e-15);
  EXPECT_NEAR(p.w, 0.8, 1e-15);
}

// At the identity, d/dx moves y into z and back by 2; zero for the zero
// quaternion and for components that are none.
TEST(QuatDerivative, WorkedValuesAndCentralFiniteDifferencesForLengthsHalfToTwo) {
  Mat4 dx = Mat4::zero();
  dx[6] = -2, dx[9] = 2;
  expectMatEq(Quat().toMatrixDerivative(0), dx);
  EXPECT_TRUE(Quat().toMatrixDerivative(3).isZero());
  for (int k = 0; k < 4; ++k) EXPECT_TRUE(Quat(0, 0, 0, 0).toMatrixDerivative(k).isZero());
  for (int k : {4, -1}) EXPECT_TRUE(Quat(0.1, 0.2, 0.3, 0.4).toMatrixDerivative(k).isZero()) << k;

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
        for (int i = 0; i < 9; ++i) {
          const double fd = (Rp[i] - Rm[i]) / (2 * h);
          // Float arithmetic: relative to the size of the derivative.
          EXPECT_NEAR(D[4 * (i / 3) + i % 3], fd, 1e-6 * std::max(1.0, std::fabs(fd))) << len << " " << k << " " << i;
        }
        for (int i : {3, 7, 11, 12, 13, 14, 15}) EXPECT_EQ(D[i], 0.0f);
      }
    }
  }
}

// Each joint kind reads and writes as many parameters as it has, and its
// derivatives are the central differences of its matrix.
TEST(Transform, ParametersInPlaceAndDerivativesAsFiniteDifferences) {
  std::vector<std::unique_ptr<Transform>> joints;
  joints.push_back(std::make_unique<IdentityTransform>());
  joints.push_back(std::make_unique<Translation>(1, 2, 3));
  for (int axis = 0; axis < 3; ++axis) joints.push_back(std::make_unique<AxisRotation>(axis, 0.7, -3, 3));
  joints.push_back(std::make_unique<AxisRotation>(5, 1.0, -1, 1));  // no axis: the identity
  joints.push_back(TransformChain::of(std::make_unique<AxisRotation>(2, 0.3, -9, 9),
                                      std::make_unique<Translation>(0.5f, -1, 2),
                                      std::make_unique<AxisRotation>(1, -0.8, -9, 9)));
  const int counts[] = {0, 3, 1, 1, 1, 1, 5};
  for (size_t j = 0; j < joints.size(); ++j) {
    Transform& t = *joints[j];
    ASSERT_EQ(t.dofCount(), counts[j]) << j;
    double p[6] = {7, 7, 7, 7, 7, 7};
    EXPECT_EQ(t.getParams(p), p + counts[j]) << j;
    EXPECT_EQ(t.setParams(p), p + counts[j]) << j;
    EXPECT_EQ(p[counts[j]], 7) << j;
    for (int k = 0; k < counts[j]; ++k) expectMatNear(t.derivative(k), finiteDifference(t, k), 2e-3f);
  }
  expectMatEq(*joints[0]->matrix(), Mat4());
  EXPECT_TRUE(joints[0]->derivative(5).isZero());
  expectMatEq(*joints[5]->matrix(), Mat4());
  EXPECT_TRUE(joints[5]->derivative(0).isZero());
}

TEST(Transform, TranslationAndHingeMatricesWorkedOut) {
  Translation t(1, 2, 3);
  expectMatEq(*t.matrix(), translationMatrix(1, 2, 3));
  const double in[3] = {0.1, -4, 5};
  t.setParams(in);
  double out[3];
  t.getParams(out);
  EXPECT_EQ(std::make_pair(out[0], out[1]), std::make_pair(double(0.1f), -4.0));  // kept as floats
  const float c = float(std::cos(0.7)), s = float(std::sin(0.7));
  for (int axis = 0; axis < 3; ++axis) {
    Mat4 expected;
    if (axis == 0) expected[5] = c, expected[6] = -s, expected[9] = s, expected[10] = c;
    if (axis == 1) expected[0] = c, expected[2] = s, expected[8] = -s, expected[10] = c;
    if (axis == 2) expected[0] = c, expected[1] = -s, expected[4] = s, expected[5] = c;
    expectMatEq(*AxisRotation(axis, 0.7, -3, 3).matrix(), expected);
  }
}

// Both limits, on and off; the array keeps what it had.
TEST(AxisRotation, ClampsToBothLimitsOnlyWhileTheyAreOn) {
  AxisRotation r(0, 0.0, -1.0, 1.0);
  EXPECT_EQ(r.limitsEnabled, 1.0);
  const std::pair<double, double> clamped[] = {{1.5, 1.0}, {1.0, 1.0}, {-1.0, -1.0}, {-2.0, -1.0}};
  for (auto [given, kept] : clamped) {
    double p = given, out = 0;
    r.setParams(&p);
    r.getParams(&out);
    EXPECT_EQ(std::make_tuple(r.angle, out, p), std::make_tuple(kept, kept, given));
  }
  r.limitsEnabled = 0.0;
  for (double p : {1.5, -2.0}) {
    r.setParams(&p);
    EXPECT_EQ(r.angle, p);
    expectMatEq(*r.matrix(), *AxisRotation(0, p, -9, 9).matrix());
  }
}

TEST(QuatRotation, NormalisesWhatItIsGivenButNotTheArray) {
  QuatRotation q;
  const double in[4] = {0, 0, 0, 2};
  EXPECT_EQ(q.setParams(in), in + 4);
  double out[4];
  EXPECT_EQ(q.getParams(out), out + 4);
  EXPECT_EQ(out[3], 1.0);
  EXPECT_EQ(in[3], 2.0);
  expectMatEq(*q.matrix(), Mat4());
}

TEST(TransformChain, AppendedElementsTakeTheirParametersInOrder) {
  TransformChain chain;
  EXPECT_EQ(chain.dofCount(), 0);
  expectMatEq(*chain.matrix(), Mat4());
  chain.append(std::make_unique<Translation>(1, 2, 3));
  chain.append(std::make_unique<QuatRotation>());
  EXPECT_EQ(std::make_pair(chain.childCount(), chain.dofCount()), std::make_pair(2, 7));
  expectMatEq(*chain.matrix(), translationMatrix(1, 2, 3));

  const double in[7] = {4, 5, 6, 0, 0, 0.6, 0.8};
  EXPECT_EQ(chain.setParams(in), in + 7);
  double out[8] = {0, 0, 0, 0, 0, 0, 0, 99};
  EXPECT_EQ(chain.getParams(out), out + 7);
  EXPECT_EQ(std::make_tuple(out[0], out[5], out[6], out[7]), std::make_tuple(4.0, 0.6, 0.8, 99.0));

  chain.setParams(std::vector<double>{1, 2, 3, 0, 0, 0, 1}.data());
  const Mat4 d0 = chain.derivative(0);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(d0[i], i == 3 ? 1.0f : 0.0f);
  expectMatEq(chain.derivative(3), translationMatrix(1, 2, 3) * Quat().toMatrixDerivative(0));
}

TEST(TransformChain, EachHingeClampsItsOwnElementWhateverTheChainSays) {
  auto chain = TransformChain::of(std::make_unique<AxisRotation>(0, 0, -1, 1),
                                  std::make_unique<AxisRotation>(1, 0, -0.5, 0.5));
  chain->limitsEnabled = 0.0;
  const double in[3] = {3, -3, 42};
  EXPECT_EQ(chain->setParams(in), in + 2);
  double out[2];
  chain->getParams(out);
  EXPECT_EQ(std::make_pair(out[0], out[1]), std::make_pair(1.0, -0.5));
}

// A copy changes apart from its original; a hinge's and a translation's keep
// the limit switch, a ball joint's starts with it off.
TEST(Clone, IsADeepIndependentCopyOfEveryKind) {
  auto chain = TransformChain::of(std::make_unique<Translation>(1, 2, 3),
                                  std::make_unique<QuatRotation>(0.1, 0.2, 0.3),
                                  std::make_unique<AxisRotation>(0, 0.4, -1, 1));
  const Mat4 before = *chain->matrix();
  auto copy = chain->clone();
  EXPECT_EQ(copy->dofCount(), 8);
  expectMatEq(*copy->matrix(), before);
  const double other[8] = {9, 9, 9, 0, 1, 0, 0, -0.9};
  copy->setParams(other);
  expectMatEq(*chain->matrix(), before);

  AxisRotation hinge(1, 0.2, -0.1, 0.1);
  hinge.limitsEnabled = 0.0;
  auto hingeCopy = hinge.clone();
  double big = 3;
  hingeCopy->setParams(&big);
  hingeCopy->getParams(&big);
  EXPECT_EQ(std::make_tuple(hingeCopy->limitsEnabled, big, hinge.angle), std::make_tuple(0.0, 3.0, 0.2));

  Translation t(1, 2, 3);
  t.limitsEnabled = 1.0;
  EXPECT_EQ(t.clone()->limitsEnabled, 1.0);
  QuatRotation q(0.5, 0, 0);
  q.limitsEnabled = 1.0;
  auto qc = q.clone();
  EXPECT_EQ(qc->limitsEnabled, 0.0);
  expectMatEq(*qc->matrix(), *q.matrix());
}
