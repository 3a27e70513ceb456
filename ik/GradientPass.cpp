#include "ik/GradientPass.h"

#include <algorithm>

#include "figure/Figure.h"

namespace {

// Rows 0 to 2 of d * a, for a derivative d (bottom row zero) and an affine a
// (bottom row 0, 0, 0, 1). The terms that the bottom rows make zero are left
// out; the others are summed in double in the order of the full product and
// rounded once, so the used elements are exactly those of d * a.
inline void derivativeTimesAffine(const Mat4& d, const Mat4& a, Mat4& out) {
  const float* D = d.m;
  const float* A = a.m;
  float* O = out.m;
  for (int r = 0; r < 3; ++r) {
    const double d0 = D[4 * r], d1 = D[4 * r + 1], d2 = D[4 * r + 2], d3 = D[4 * r + 3];
    for (int c = 0; c < 3; ++c) O[4 * r + c] = static_cast<float>(d0 * A[c] + d1 * A[4 + c] + d2 * A[8 + c]);
    O[4 * r + 3] = static_cast<float>(d0 * A[3] + d1 * A[7] + d2 * A[11] + d3);
  }
  O[12] = O[13] = O[14] = O[15] = 0.0f;
}

inline bool isAffine(const Mat4& a) { return a[12] == 0 && a[13] == 0 && a[14] == 0 && a[15] == 1; }

}  // namespace

GradientPass::GradientPass(const Figure& figure) {
  const std::vector<Segment*> order = figure.segments();
  nodes.reserve(order.size());
  int dof = 0;
  for (Segment* s : order) {
    Node node{};
    node.segment = s;
    node.parent = -1;
    for (size_t i = 0; i < nodes.size(); ++i) {
      if (nodes[i].segment == s->parent) node.parent = static_cast<int>(i);
    }
    node.firstDof = dof;
    node.ownDofs = s->joint->dofCount();
    dof += node.ownDofs;
    node.pathStart = static_cast<int>(pathDofs.size());
    if (node.parent >= 0) {
      const Node& p = nodes[node.parent];
      for (int q = 0; q < p.pathCount; ++q) pathDofs.push_back(pathDofs[p.pathStart + q]);
    }
    for (int j = 0; j < node.ownDofs; ++j) pathDofs.push_back(node.firstDof + j);
    node.pathCount = static_cast<int>(pathDofs.size()) - node.pathStart;
    node.attach = translationMatrix(s->attachment());
    nodes.push_back(node);
  }
  derivatives.resize(pathDofs.size());
  live.resize(pathDofs.size());
  chainWorld.resize(nodes.size());
  forwardWorld.resize(nodes.size());
}

void GradientPass::prepare() {
  for (Node& n : nodes) n.carries = false;
  recordOrder.clear();
  recordHandles.clear();
  for (int i = 0; i < static_cast<int>(nodes.size()); ++i) {
    if (nodes[i].segment->handles.empty()) continue;
    for (int k = i; k >= 0 && !nodes[k].carries; k = nodes[k].parent) nodes[k].carries = true;
    for (Handle* h : nodes[i].segment->handles) {
      recordOrder.push_back(i);
      recordHandles.push_back(h);
    }
  }
  // Records are made in pre-order and each goes to the front of the list,
  // and every DOF's sum follows the list.
  std::reverse(recordOrder.begin(), recordOrder.end());
  std::reverse(recordHandles.begin(), recordHandles.end());
}

void GradientPass::evaluate(Figure& figure, const Handle* dragged, float* g) {
  const Mat4 identity;
  for (int i = 0; i < static_cast<int>(nodes.size()); ++i) {
    const Node& n = nodes[i];
    if (!n.carries) continue;
    const Transform& joint = *n.segment->joint;
    const Mat4& M = *joint.matrix();
    const Mat4 A = n.attach * M;
    const Mat4& parentChain = n.parent >= 0 ? chainWorld[n.parent] : identity;
    const Mat4& parentForward = n.parent >= 0 ? forwardWorld[n.parent] : identity;
    forwardWorld[i] = parentForward * A;
    const Mat4 PT = parentChain * n.attach;
    chainWorld[i] = PT * M;

    // Carry the ancestors' derivatives into this frame, skipping zeros.
    Mat4* D = &derivatives[n.pathStart];
    unsigned char* alive = &live[n.pathStart];
    int own = 0;
    if (n.parent >= 0) {
      const Node& p = nodes[n.parent];
      const Mat4* PD = &derivatives[p.pathStart];
      const unsigned char* parentAlive = &live[p.pathStart];
      const bool affine = isAffine(A);
      for (int q = 0; q < p.pathCount; ++q) {
        if (!parentAlive[q]) {
          alive[q] = 0;
          continue;
        }
        if (affine) {
          derivativeTimesAffine(PD[q], A, D[q]);
        } else {
          D[q] = PD[q] * A;
        }
        alive[q] = !D[q].isZero();
      }
      own = p.pathCount;
    }
    for (int j = 0; j < n.ownDofs; ++j) {
      D[own + j] = PT * joint.derivative(j);
      alive[own + j] = !D[own + j].isZero();
    }

    for (Handle* h : n.segment->handles) h->worldPos = transformPoint(forwardWorld[i], h->localPos);
  }

  for (size_t r = 0; r < recordOrder.size(); ++r) {
    const Node& n = nodes[recordOrder[r]];
    const Handle* h = recordHandles[r];
    const double f = h == dragged ? solver::kDraggedFactor : 1.0;
    const std::vector<double>& w = figure.dofWeights[n.segment->index];
    const Vec3 p = h->localPos;
    const Vec3 e = transformPoint(chainWorld[recordOrder[r]], p) - h->targetPos;
    const Mat4* D = &derivatives[n.pathStart];
    const unsigned char* alive = &live[n.pathStart];
    const int* dofs = &pathDofs[n.pathStart];
    // Zero matrices and zero weights add nothing: only these DOFs can change.
    for (int q = 0; q < n.pathCount; ++q) {
      if (!alive[q]) continue;
      const int i = dofs[q];
      const double L = f * w[i];
      if (L == 0.0) continue;
      const float* m = D[q].m;
      float s[12];
      for (int k = 0; k < 12; ++k) s[k] = static_cast<float>(L * m[k]);
      const float jx = s[0] * p.x + s[1] * p.y + s[2] * p.z + s[3];
      const float jy = s[4] * p.x + s[5] * p.y + s[6] * p.z + s[7];
      const float jz = s[8] * p.x + s[9] * p.y + s[10] * p.z + s[11];
      g[i] += jx * e.x + jy * e.y + jz * e.z;
    }
  }
}
