#include "figure/Transform.h"

#include <gtest/gtest.h>

#include <cmath>

#include "ik_test_util.h"

TEST(IdentityTransform, HasNoParameters) {
  IdentityTransform t;
  double p[2] = {7, 8};
  EXPECT_EQ(t.dofCount(), 0);
  EXPECT_EQ(t.setParams(p), p);
  EXPECT_EQ(t.getParams(p), p);
  EXPECT_EQ(p[0], 7);
  EXPECT_TRUE(t.derivative(0).isZero());
  EXPECT_TRUE(t.derivative(5).isZero());
  expectMatEq(*t.matrix(), Mat4());
  EXPECT_EQ(t.limitsEnabled, 0.0);
}

TEST(Translation, ParametersLiveInTheMatrixAsFloats) {
  Translation t(1, 2, 3);
  EXPECT_EQ(t.dofCount(), 3);
  expectMatEq(*t.matrix(), translationMatrix(1, 2, 3));
  const double in[3] = {0.1, -4, 5};
  EXPECT_EQ(t.setParams(in), in + 3);
  double out[3];
  EXPECT_EQ(t.getParams(out), out + 3);
  EXPECT_EQ(out[0], double(0.1f));
  EXPECT_EQ(out[1], -4);
  for (int k = 0; k < 3; ++k) {
    const Mat4 d = t.derivative(k);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(d[i], i == 4 * k + 3 ? 1.0f : 0.0f);
  }
}

TEST(AxisRotation, MatrixAndDerivativeForEveryAxis) {
  for (int axis = 0; axis < 3; ++axis) {
    AxisRotation r(axis, 0.7, -3, 3);
    Mat4 expected;
    const float c = float(std::cos(0.7)), s = float(std::sin(0.7));
    if (axis == 0) expected[5] = c, expected[6] = -s, expected[9] = s, expected[10] = c;
    if (axis == 1) expected[0] = c, expected[2] = s, expected[8] = -s, expected[10] = c;
    if (axis == 2) expected[0] = c, expected[1] = -s, expected[4] = s, expected[5] = c;
    expectMatEq(*r.matrix(), expected);
    expectMatNear(r.derivative(0), finiteDifference(r, 0), 1e-3f);
    EXPECT_EQ(r.derivative(0)[15], 0.0f);
  }
  // An unknown axis stays the identity.
  AxisRotation odd(5, 1.0, -1, 1);
  expectMatEq(*odd.matrix(), Mat4());
  EXPECT_TRUE(odd.derivative(0).isZero());
}

TEST(AxisRotation, ClampsOnlyWhileItsLimitsAreOn) {
  AxisRotation r(0, 0.0, -1.0, 1.0);
  EXPECT_EQ(r.limitsEnabled, 1.0);
  double p = 1.5, out = 0;
  EXPECT_EQ(r.setParams(&p), &p + 1);
  EXPECT_EQ(r.angle, 1.0);
  r.getParams(&out);
  EXPECT_EQ(out, 1.0);
  EXPECT_EQ(p, 1.5);  // the array keeps what it had

  p = -1.0;
  r.setParams(&p);
  EXPECT_EQ(r.angle, -1.0);
  p = -2.0;
  r.setParams(&p);
  EXPECT_EQ(r.angle, -1.0);

  r.limitsEnabled = 0.0;
  p = 1.5;
  EXPECT_EQ(r.setParams(&p), &p + 1);
  EXPECT_EQ(r.angle, 1.5);
  expectMatEq(*r.matrix(), *AxisRotation(0, 1.5, -9, 9).matrix());
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

TEST(QuatRotation, DerivativeAgreesWithTheMatrixThroughSetParams) {
  QuatRotation q(0.3, -0.4, 1.1);
  // Along a direction orthogonal to q the normalisation is first-order inert,
  // so the derivative projected on it matches a finite difference of setParams.
  double p[4];
  q.getParams(p);
  const double dir[4] = {p[1], -p[0], p[3], -p[2]};
  const double h = 1e-4;
  double plus[4], minus[4];
  for (int i = 0; i < 4; ++i) plus[i] = p[i] + h * dir[i], minus[i] = p[i] - h * dir[i];
  QuatRotation a, b;
  a.setParams(plus);
  b.setParams(minus);
  Mat4 expected = Mat4::zero(), fd = Mat4::zero();
  for (int k = 0; k < 4; ++k) {
    const Mat4 d = q.derivative(k);
    for (int i = 0; i < 16; ++i) expected[i] += float(dir[k]) * d[i];
  }
  for (int i = 0; i < 16; ++i) fd[i] = float((double((*a.matrix())[i]) - (*b.matrix())[i]) / (2 * h));
  expectMatNear(expected, fd, 2e-3f);
}

TEST(TransformChain, TranslationThenBallJoint) {
  auto chain = TransformChain::of(std::make_unique<Translation>(1, 2, 3), std::make_unique<QuatRotation>());
  EXPECT_EQ(chain->dofCount(), 7);
  expectMatEq(*chain->matrix(), translationMatrix(1, 2, 3));

  const double in[7] = {4, 5, 6, 0, 0, 0.6, 0.8};
  EXPECT_EQ(chain->setParams(in), in + 7);
  double out[8] = {0, 0, 0, 0, 0, 0, 0, 99};
  EXPECT_EQ(chain->getParams(out), out + 7);
  EXPECT_EQ(out[0], 4);
  EXPECT_EQ(out[5], 0.6);
  EXPECT_EQ(out[6], 0.8);
  EXPECT_EQ(out[7], 99);

  chain->setParams(std::vector<double>{1, 2, 3, 0, 0, 0, 1}.data());
  const Mat4 d0 = chain->derivative(0);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(d0[i], i == 3 ? 1.0f : 0.0f);
  expectMatEq(chain->derivative(3), translationMatrix(1, 2, 3) * Quat().toMatrixDerivative(0));
}

TEST(TransformChain, DerivativeFollowsTheProductRule) {
  auto chain = TransformChain::of(std::make_unique<AxisRotation>(2, 0.3, -9, 9),
                                  std::make_unique<Translation>(0.5f, -1, 2),
                                  std::make_unique<AxisRotation>(1, -0.8, -9, 9));
  const AxisRotation first(2, 0.3, -9, 9), last(1, -0.8, -9, 9);
  const Translation middle(0.5f, -1, 2);
  expectMatEq(chain->derivative(0), Mat4() * first.derivative(0) * *middle.matrix() * *last.matrix());
  expectMatEq(chain->derivative(2), Mat4() * *first.matrix() * middle.derivative(1) * *last.matrix());
  expectMatEq(chain->derivative(4), Mat4() * *first.matrix() * *middle.matrix() * last.derivative(0));
  for (int k = 0; k < chain->dofCount(); ++k)
    expectMatNear(chain->derivative(k), finiteDifference(*chain, k), 2e-3f);
}

TEST(TransformChain, EachHingeClampsItsOwnElementWhateverTheChainSays) {
  auto chain = TransformChain::of(std::make_unique<AxisRotation>(0, 0, -1, 1),
                                  std::make_unique<AxisRotation>(1, 0, -0.5, 0.5));
  chain->limitsEnabled = 0.0;
  const double in[3] = {3, -3, 42};
  EXPECT_EQ(chain->setParams(in), in + 2);
  double out[2];
  chain->getParams(out);
  EXPECT_EQ(out[0], 1.0);
  EXPECT_EQ(out[1], -0.5);
}

TEST(TransformChain, EmptyAndAppended) {
  TransformChain empty;
  EXPECT_EQ(empty.dofCount(), 0);
  expectMatEq(*empty.matrix(), Mat4());
  empty.append(std::make_unique<Translation>(1, 0, 0));
  empty.append(std::make_unique<AxisRotation>(2, 0.5, -1, 1));
  EXPECT_EQ(empty.childCount(), 2);
  EXPECT_EQ(empty.dofCount(), 4);
  expectMatEq(*empty.matrix(), Mat4() * translationMatrix(1, 0, 0) * *AxisRotation(2, 0.5, -1, 1).matrix());
}

TEST(Clone, IsADeepIndependentCopyOfEveryKind) {
  auto chain = TransformChain::of(std::make_unique<Translation>(1, 2, 3),
                                  std::make_unique<QuatRotation>(0.1, 0.2, 0.3),
                                  std::make_unique<AxisRotation>(0, 0.4, -1, 1));
  auto copy = chain->clone();
  EXPECT_EQ(copy->dofCount(), 8);
  expectMatEq(*copy->matrix(), *chain->matrix());

  const Mat4 before = *chain->matrix();
  const double other[8] = {9, 9, 9, 0, 1, 0, 0, -0.9};
  copy->setParams(other);
  expectMatEq(*chain->matrix(), before);
  double orig[8];
  chain->getParams(orig);
  EXPECT_EQ(orig[0], 1);

  AxisRotation hinge(1, 0.2, -0.1, 0.1);
  hinge.limitsEnabled = 0.0;
  auto hingeCopy = hinge.clone();
  EXPECT_EQ(hingeCopy->limitsEnabled, 0.0);
  double big = 3;
  hingeCopy->setParams(&big);
  double got;
  hingeCopy->getParams(&got);
  EXPECT_EQ(got, 3);
  EXPECT_EQ(hinge.angle, 0.2);

  Translation t(1, 2, 3);
  t.limitsEnabled = 1.0;
  EXPECT_EQ(t.clone()->limitsEnabled, 1.0);
  QuatRotation q(0.5, 0, 0);
  q.limitsEnabled = 1.0;
  auto qc = q.clone();
  EXPECT_EQ(qc->limitsEnabled, 0.0);
  expectMatEq(*qc->matrix(), *q.matrix());
}
