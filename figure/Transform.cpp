#include "figure/Transform.h"

#include <cmath>

#include "math/Products.h"

// ---- Transform

void Transform::saveState(std::vector<double>& out) const {
  out.push_back(limitsEnabled);
  const std::size_t at = out.size();
  out.resize(at + dofCount());
  getParams(out.data() + at);
}

const double* Transform::restoreState(const double* in) {
  const double limits = *in++;
  // The saved parameters were what the joint held, clamped or not.
  limitsEnabled = 0.0;
  in = setParams(in);
  limitsEnabled = limits;
  return in;
}

// ---- IdentityTransform

Mat4 IdentityTransform::derivative(int) const { return Mat4::zero(); }

std::unique_ptr<Transform> IdentityTransform::clone() const { return std::make_unique<IdentityTransform>(); }

// ---- Translation

Translation::Translation(float tx, float ty, float tz) {
  m[3] = tx;
  m[7] = ty;
  m[11] = tz;
  limitsEnabled = 0.0;
}

Mat4 Translation::derivative(int k) const {
  Mat4 d = Mat4::zero();
  if (k >= 0 && k < 3) d[4 * k + 3] = 1.0f;
  return d;
}

const double* Translation::setParams(const double* p) {
  m[3] = static_cast<float>(p[0]);
  m[7] = static_cast<float>(p[1]);
  m[11] = static_cast<float>(p[2]);
  return p + 3;
}

double* Translation::getParams(double* p) const {
  p[0] = m[3];
  p[1] = m[7];
  p[2] = m[11];
  return p + 3;
}

std::unique_ptr<Transform> Translation::clone() const {
  auto copy = std::make_unique<Translation>(m[3], m[7], m[11]);
  copy->limitsEnabled = limitsEnabled;
  return copy;
}

// ---- AxisRotation

AxisRotation::AxisRotation(int axis_, double angle_, double lower_, double upper_)
    : angle(angle_), axis(axis_), lower(lower_), upper(upper_) {
  limitsEnabled = 1.0;
  updateMatrix();
}

void AxisRotation::updateMatrix() {
  const float c = static_cast<float>(std::cos(angle));
  const float s = static_cast<float>(std::sin(angle));
  switch (axis) {
    case 0:
      m[5] = c, m[6] = -s, m[9] = s, m[10] = c;
      break;
    case 1:
      m[0] = c, m[2] = s, m[8] = -s, m[10] = c;
      break;
    case 2:
      m[0] = c, m[1] = -s, m[4] = s, m[5] = c;
      break;
    default:
      break;
  }
}

const double* AxisRotation::setParams(const double* p) {
  angle = p[0];
  if (limitsEnabled != 0.0) {
    if (angle < lower) {
      angle = lower;
    } else if (angle > upper) {
      angle = upper;
    }
  }
  updateMatrix();
  return p + 1;
}

double* AxisRotation::getParams(double* p) const {
  p[0] = angle;
  return p + 1;
}

std::unique_ptr<Transform> AxisRotation::clone() const {
  auto copy = std::make_unique<AxisRotation>(axis, angle, lower, upper);
  copy->limitsEnabled = limitsEnabled;
  return copy;
}

// ---- QuatRotation

QuatRotation::QuatRotation(double rx, double ry, double rz)
    : q(Quat::fromEuler(rx, ry, rz)), m(q.toMatrix()) {}

Mat4 QuatRotation::derivative(int k) const { return q.toMatrixDerivative(k); }

const double* QuatRotation::setParams(const double* p) {
  q = Quat(p[0], p[1], p[2], p[3]);
  q.normalize();
  m = q.toMatrix();
  return p + 4;
}

const double* QuatRotation::setHeldParams(const double* p) {
  const double lengthSquared = p[0] * p[0] + p[1] * p[1] + p[2] * p[2] + p[3] * p[3];
  // normalize() leaves squared lengths within about 3 ulps of 1 (seen over
  // 10^7 random quaternions); anything further off is normalised.
  if (std::fabs(lengthSquared - 1.0) > kUnitSlack) return setParams(p);
  q = Quat(p[0], p[1], p[2], p[3]);
  m = q.toMatrix();
  return p + 4;
}

double* QuatRotation::getParams(double* p) const {
  p[0] = q.x;
  p[1] = q.y;
  p[2] = q.z;
  p[3] = q.w;
  return p + 4;
}

std::unique_ptr<Transform> QuatRotation::clone() const {
  auto copy = std::make_unique<QuatRotation>();
  copy->q = q;
  copy->m = q.toMatrix();
  return copy;
}

void QuatRotation::saveState(std::vector<double>& out) const {
  out.insert(out.end(), {limitsEnabled, q.x, q.y, q.z, q.w});
}

const double* QuatRotation::restoreState(const double* in) {
  limitsEnabled = in[0];
  q = Quat(in[1], in[2], in[3], in[4]);
  m = q.toMatrix();
  return in + 5;
}

// ---- TransformChain

TransformChain::TransformChain(std::vector<std::unique_ptr<Transform>> parts) : children(std::move(parts)) {
  for (const auto& c : children) dofs += c->dofCount();
  recompute();
}

// Products skip the leading identity and the terms that the bottom rows make
// zero; the elements are those of the full products.
void TransformChain::recompute() {
  m = Mat4();
  for (size_t i = 0; i < children.size(); ++i) {
    const Mat4& c = *children[i]->matrix();
    m = i == 0 ? c : products::product(m, c);
  }
}

Mat4 TransformChain::derivative(int k) const {
  Mat4 D;
  int b = 0;
  for (size_t i = 0; i < children.size(); ++i) {
    const Transform& c = *children[i];
    const int n = c.dofCount();
    const Mat4 factor = (b <= k && k < b + n) ? c.derivative(k - b) : *c.matrix();
    D = i == 0 ? factor : products::product(D, factor);
    b += n;
  }
  return D;
}

const double* TransformChain::setParams(const double* p) {
  for (auto& c : children) p = c->setParams(p);
  recompute();
  return p;
}

const double* TransformChain::setHeldParams(const double* p) {
  for (auto& c : children) p = c->setHeldParams(p);
  recompute();
  return p;
}

double* TransformChain::getParams(double* p) const {
  for (const auto& c : children) p = c->getParams(p);
  return p;
}

std::unique_ptr<Transform> TransformChain::clone() const {
  std::vector<std::unique_ptr<Transform>> copies;
  copies.reserve(children.size());
  for (const auto& c : children) copies.push_back(c->clone());
  return std::make_unique<TransformChain>(std::move(copies));
}

void TransformChain::saveState(std::vector<double>& out) const {
  out.push_back(limitsEnabled);
  for (const auto& c : children) c->saveState(out);
}

const double* TransformChain::restoreState(const double* in) {
  limitsEnabled = *in++;
  for (auto& c : children) in = c->restoreState(in);
  recompute();
  return in;
}

void TransformChain::append(std::unique_ptr<Transform> t) {
  dofs += t->dofCount();
  children.push_back(std::move(t));
  recompute();
}
