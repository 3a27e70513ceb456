#include "ik/HandleJacobian.h"

#include "figure/Figure.h"

namespace {

using Matrix = HandleJacobian::Matrix;
using Column = std::array<double, 4>;

Matrix widened(const Mat4& m) {
  Matrix out;
  for (int i = 0; i < 16; ++i) out[i] = m[i];
  return out;
}

Matrix times(const Matrix& a, const Matrix& b) {
  Matrix out;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += a[4 * r + k] * b[4 * k + c];
      out[4 * r + c] = sum;
    }
  }
  return out;
}

Column times(const Matrix& a, const Column& v) {
  Column out;
  for (int r = 0; r < 4; ++r) {
    out[r] = a[4 * r] * v[0] + a[4 * r + 1] * v[1] + a[4 * r + 2] * v[2] + a[4 * r + 3] * v[3];
  }
  return out;
}

Matrix translation(const Vec3& t) { return {1, 0, 0, t.x, 0, 1, 0, t.y, 0, 0, 1, t.z, 0, 0, 0, 1}; }

}  // namespace

HandleJacobian::HandleJacobian(const Figure& figure) {
  for (const Segment* s : figure.segments()) {
    const int parent = s->parent ? nodeOf.at(s->parent) : -1;
    nodeOf[s] = static_cast<int>(nodes.size());
    nodes.push_back({s, parent, dofs, s->joint->dofCount()});
    dofs += s->joint->dofCount();
  }
  base.resize(nodes.size());
  attachedJoint.resize(nodes.size());
  derivatives.resize(dofs);
}

void HandleJacobian::update() {
  std::vector<Matrix> world(nodes.size());
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const Node& n = nodes[i];
    const Matrix T = translation(n.segment->attachment());
    base[i] = n.parent >= 0 ? times(world[n.parent], T) : T;
    attachedJoint[i] = times(T, widened(*n.segment->joint->matrix()));
    world[i] = n.parent >= 0 ? times(world[n.parent], attachedJoint[i]) : attachedJoint[i];
    for (int k = 0; k < n.ownDofs; ++k)
      derivatives[n.firstDof + k] = widened(n.segment->joint->derivative(k));
  }
}

// Walking up from the point's segment, v is the point in the frame after
// the current node's joint; each of that joint's DOFs moves it in the world
// by base * dM/dk * v.
void HandleJacobian::rows(const Segment* s, const Vec3& local, double* out) const {
  std::fill(out, out + 3 * dofs, 0.0);
  Column v = {local.x, local.y, local.z, 1.0};
  for (int i = nodeOf.at(s); i >= 0; i = nodes[i].parent) {
    const Node& n = nodes[i];
    for (int k = 0; k < n.ownDofs; ++k) {
      const int dof = n.firstDof + k;
      const Column moved = times(base[i], times(derivatives[dof], v));
      for (int r = 0; r < 3; ++r) out[r * dofs + dof] = moved[r];
    }
    v = times(attachedJoint[i], v);
  }
}
