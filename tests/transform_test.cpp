#include "figure/Transform.h"

#include <gtest/gtest.h>

#include <cmath>

#include "ik_test_util.h"

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
  for (int k = 0; k < 3; ++k) {
    const Mat4 d = t.derivative(k);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(d[i], i == 4 * k + 3 ? 1.0f : 0.0f);
  }
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

  const double zero[4] = {0, 0, 0, 0};
  q.setParams(zero);
  expectMatEq(*q.matrix(), Mat4());
  for (int k = 0; k < 4; ++k) EXPECT_TRUE(q.derivative(k).isZero());
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
