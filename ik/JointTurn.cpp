#include "ik/JointTurn.h"

#include <cmath>

#include "figure/Figure.h"
#include "ik/Cholesky.h"

namespace {

using Direction = std::array<double, 3>;

// An elementary transform of a joint, with the frame in the world before it
// and its first parameter within the joint.
struct Element {
  const Transform* transform;
  Mat4 before;
  int firstParam;
};

void listElements(const Transform& t, Mat4& frame, int& param, std::vector<Element>& out) {
  if (const auto* chain = dynamic_cast<const TransformChain*>(&t)) {
    for (int i = 0; i < chain->childCount(); ++i) listElements(chain->child(i), frame, param, out);
    return;
  }
  out.push_back({&t, frame, param});
  frame = frame * *t.matrix();
  param += t.dofCount();
}

Direction unit(const Direction& d) {
  const double l = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  return {d[0] / l, d[1] / l, d[2] / l};
}

double dotOf(const Direction& a, const Direction& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// The linear part of M applied to d.
Direction through(const Mat4& M, const Direction& d) {
  Direction out;
  for (int r = 0; r < 3; ++r) out[r] = M[4 * r] * d[0] + M[4 * r + 1] * d[1] + M[4 * r + 2] * d[2];
  return out;
}

// The linear part of M's inverse applied to d, by Cramer's rule: the frame
// may shear or scale, where its transpose would not undo it.
Direction backThrough(const Mat4& M, const Direction& d) {
  auto m = [&](int r, int c) { return double(M[4 * r + c]); };
  const double c00 = m(1, 1) * m(2, 2) - m(1, 2) * m(2, 1), c01 = m(1, 2) * m(2, 0) - m(1, 0) * m(2, 2),
               c02 = m(1, 0) * m(2, 1) - m(1, 1) * m(2, 0);
  const double det = m(0, 0) * c00 + m(0, 1) * c01 + m(0, 2) * c02;
  const double inv[9] = {c00, m(0, 2) * m(2, 1) - m(0, 1) * m(2, 2), m(0, 1) * m(1, 2) - m(0, 2) * m(1, 1),
                         c01, m(0, 0) * m(2, 2) - m(0, 2) * m(2, 0), m(0, 2) * m(1, 0) - m(0, 0) * m(1, 2),
                         c02, m(0, 1) * m(2, 0) - m(0, 0) * m(2, 1), m(0, 0) * m(1, 1) - m(0, 1) * m(1, 0)};
  Direction out;
  for (int r = 0; r < 3; ++r)
    out[r] = (inv[3 * r] * d[0] + inv[3 * r + 1] * d[1] + inv[3 * r + 2] * d[2]) / det;
  return out;
}

// The world frame in which s's joint acts: its parent's frame, moved to
// where s is attached.
Mat4 frameBefore(const Segment& s) {
  std::vector<const Segment*> path;
  for (const Segment* p = s.parent; p; p = p->parent) path.push_back(p);
  Mat4 world;
  for (auto it = path.rbegin(); it != path.rend(); ++it) world = Figure::frame(world, **it);
  return world * translationMatrix(s.attachment());
}

int firstDofOf(const Figure& figure, const Segment& s) {
  int dof = 0;
  for (const Segment* each : figure.segments()) {
    if (each == &s) break;
    dof += each->joint->dofCount();
  }
  return dof;
}

// The ball turned by angle about the world direction a, taken into the
// ball's own frame.
void turnBall(const Element& e, const Direction& a, double angle, double* params) {
  const Direction u = unit(backThrough(e.before, a));
  const double s = std::sin(angle * 0.5);
  const Quat turn(u[0] * s, u[1] * s, u[2] * s, std::cos(angle * 0.5));
  const Quat& q = static_cast<const QuatRotation*>(e.transform)->q;
  const Quat turned = turn * q;
  params[e.firstParam] = turned.x, params[e.firstParam + 1] = turned.y;
  params[e.firstParam + 2] = turned.z, params[e.firstParam + 3] = turned.w;
}

// The hinges' angles t that best give the rotation angle * a: least squares
// of sum t_i h_i against it, h_i the hinges' world axes.
bool turnHinges(const std::vector<Element>& hinges, const Direction& a, double angle, double* params) {
  const int n = static_cast<int>(hinges.size());
  std::vector<Direction> axes;
  for (const Element& e : hinges) {
    Direction local = {0, 0, 0};
    local[static_cast<const AxisRotation*>(e.transform)->axis] = 1;
    axes.push_back(unit(through(e.before, local)));
  }
  std::vector<double> gram(n * n), t(n);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) gram[i * n + j] = dotOf(axes[i], axes[j]) + (i == j ? 1e-12 : 0.0);
    t[i] = angle * dotOf(axes[i], a);
  }
  Cholesky factor;
  if (!factor.factor(gram, n)) return false;
  factor.solve(t.data());
  for (int i = 0; i < n; ++i) params[hinges[i].firstParam] += t[i];
  return true;
}

}  // namespace

bool JointTurn::turn(Figure& figure, const Segment& s, const Vec3& axis, double angle) {
  const Direction a = unit({axis.x, axis.y, axis.z});
  if (!std::isfinite(a[0] + a[1] + a[2] + angle)) return false;
  std::vector<Element> elements;
  Mat4 frame = frameBefore(s);
  int param = 0;
  listElements(*s.joint, frame, param, elements);

  std::vector<double> dofs = figure.dofs();
  double* params = dofs.data() + firstDofOf(figure, s);
  std::vector<Element> hinges;
  bool turned = false;
  for (const Element& e : elements) {
    if (dynamic_cast<const QuatRotation*>(e.transform)) {
      turnBall(e, a, angle, params);
      turned = true;
      break;
    }
    const auto* hinge = dynamic_cast<const AxisRotation*>(e.transform);
    if (hinge && hinge->axis >= 0 && hinge->axis < 3) hinges.push_back(e);
  }
  if (!turned) turned = !hinges.empty() && turnHinges(hinges, a, angle, params);
  if (!turned) return false;
  figure.setDofs(dofs);
  figure.updateHandlePositions();
  return true;
}

std::vector<unsigned char> JointTurn::dofsOf(const Figure& figure, const Segment& s) {
  std::vector<unsigned char> flags(figure.dofCount, 0);
  const int first = firstDofOf(figure, s);
  for (int k = 0; k < s.joint->dofCount(); ++k) flags[first + k] = 1;
  return flags;
}
