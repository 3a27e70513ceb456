#include "ik/GradientPass.h"

#include <algorithm>

#include "figure/Figure.h"
#include "ik/DerivativeColumns.h"

using namespace products;
using columns::Columns;

namespace {

bool hasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

bool wideInstructions = hasAvx2();

}  // namespace

bool GradientPass::useWideInstructions(bool wanted) {
  wideInstructions = wanted && hasAvx2();
  return wideInstructions;
}

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
    node.ball = dynamic_cast<const QuatRotation*>(s->joint.get());
    node.pair = dynamic_cast<const TransformChain*>(s->joint.get());
    if (node.pair && node.pair->childCount() != 2) node.pair = nullptr;
    for (int e = 0; e < 2; ++e) {
      node.pairBall[e] = node.pair ? dynamic_cast<const QuatRotation*>(&node.pair->child(e)) : nullptr;
    }
    nodes.push_back(node);
  }
  derivatives.resize(pathDofs.size());
  live.resize(pathDofs.size());
  needed.resize(pathDofs.size());
  chainWorld.resize(nodes.size());
  forwardWorld.resize(nodes.size());
}

void GradientPass::prepare(const Figure& figure) {
  for (Node& n : nodes) n.carries = false;
  std::fill(needed.begin(), needed.end(), 0);
  recordOrder.clear();
  recordHandles.clear();
  for (int i = 0; i < static_cast<int>(nodes.size()); ++i) {
    const Node& n = nodes[i];
    if (n.segment->handles.empty()) continue;
    for (int k = i; k >= 0 && !nodes[k].carries; k = nodes[k].parent) nodes[k].carries = true;
    const std::vector<double>& w = figure.dofWeights[n.segment->index];
    for (int q = 0; q < n.pathCount; ++q) needed[n.pathStart + q] = w[pathDofs[n.pathStart + q]] != 0.0;
    for (Handle* h : n.segment->handles) {
      recordOrder.push_back(i);
      recordHandles.push_back(h);
    }
  }
  // A derivative is needed where any handle below needs it.
  for (int i = static_cast<int>(nodes.size()) - 1; i > 0; --i) {
    const Node& n = nodes[i];
    if (!n.carries) continue;
    const Node& p = nodes[n.parent];
    for (int q = 0; q < p.pathCount; ++q) needed[p.pathStart + q] |= needed[n.pathStart + q];
  }
  // The parent's slots that each node carries into its own frame.
  carried.clear();
  for (Node& n : nodes) {
    n.carriedStart = static_cast<int>(carried.size());
    if (n.carries && n.parent >= 0) {
      for (int q = 0; q < nodes[n.parent].pathCount; ++q) {
        if (needed[n.pathStart + q]) carried.push_back(q);
      }
    }
    n.carriedCount = static_cast<int>(carried.size()) - n.carriedStart;
  }
  // Records are made in pre-order and each goes to the front of the list,
  // and every DOF's sum follows the list.
  std::reverse(recordOrder.begin(), recordOrder.end());
  std::reverse(recordHandles.begin(), recordHandles.end());
}

// PT, the parent's world matrix times the attachment, ready to multiply the
// joint's own derivatives.
struct GradientPass::OwnFactor {
  const Mat4& PT;
  const columns::WideColumns wide;
  explicit OwnFactor(const Mat4& P) : PT(P), wide(P) {}

  // PT * d into D; returns whether rows 0 to 2 hold a non-zero element.
  bool times(const Mat4& d, Columns& D) const {
    if (hasZeroBottomRow(d)) return columns::timesDerivative(wide, d, D);
    const Mat4 m = PT * d;
    D = columns::fromMatrix(m);
    return !topRowsZero(m);
  }
};

// PT times the chain's derivatives, formed as the chain forms them (its first
// element's derivative times the second's matrix, or the first's matrix times
// the second's derivative), with ball joints' derivatives made together.
inline __attribute__((always_inline)) void GradientPass::ownPairDerivatives(const Node& n,
                                                                            const OwnFactor& PT, Columns* D,
                                                                            const unsigned char* need,
                                                                            unsigned char* alive) {
  const Transform& first = n.pair->child(0);
  const Transform& second = n.pair->child(1);
  const int firstDofs = first.dofCount();
  const WideMatrix secondWide(*second.matrix());
  if (n.pairBall[0]) n.pairBall[0]->q.toMatrixDerivatives(pairScratch[0], need);
  if (n.pairBall[1]) n.pairBall[1]->q.toMatrixDerivatives(pairScratch[1], need + firstDofs);
  for (int j = 0; j < n.ownDofs; ++j) {
    if (!need[j]) {
      alive[j] = 0;
      continue;
    }
    Mat4 chainDerivative;
    if (j < firstDofs) {
      const Mat4 d = n.pairBall[0] ? pairScratch[0][j] : first.derivative(j);
      if (hasZeroBottomRow(d)) {
        derivativeTimesAffine(d, secondWide, chainDerivative);
      } else {
        chainDerivative = product(d, *second.matrix());
      }
    } else {
      const int k = j - firstDofs;
      timesDerivative(*first.matrix(), n.pairBall[1] ? pairScratch[1][k] : second.derivative(k),
                      chainDerivative);
    }
    alive[j] = PT.times(chainDerivative, D[j]);
  }
}

void GradientPass::evaluate(Figure& figure, const Handle* dragged, float* g) {
  if (wideInstructions) {
    evaluateWide(figure, dragged, g);
  } else {
    evaluatePortable(figure, dragged, g);
  }
}

// One body, built twice: the kernels it inlines take the instruction set of
// the function they land in.
void GradientPass::evaluatePortable(Figure& figure, const Handle* dragged, float* g) {
  evaluateBody(figure, dragged, g);
}

__attribute__((target("avx2"))) void GradientPass::evaluateWide(Figure& figure, const Handle* dragged,
                                                                float* g) {
  evaluateBody(figure, dragged, g);
}

inline __attribute__((always_inline)) void GradientPass::evaluateBody(Figure& figure, const Handle* dragged,
                                                                      float* g) {
  const Mat4 identity;
  for (int i = 0; i < static_cast<int>(nodes.size()); ++i) {
    Node& n = nodes[i];
    if (!n.carries) continue;
    const Transform& joint = *n.segment->joint;
    const Mat4& M = *joint.matrix();
    const Vec3& t = n.segment->attachment();
    const Mat4& parentChain = n.parent >= 0 ? chainWorld[n.parent] : identity;
    const Mat4& parentForward = n.parent >= 0 ? forwardWorld[n.parent] : identity;
    const bool parentSame = n.parent < 0 || nodes[n.parent].sameWorlds;
    Mat4 A, PT;
    if (isAffine(M) && isAffine(parentChain) && isAffine(parentForward)) {
      A = translationTimesAffine(t, M);
      PT = affineTimesTranslation(parentChain, t);
      chainWorld[i] = affineTimesAffine(PT, M);
      // The two ways of building the world matrix round alike when the joint
      // does not translate (or at the root, where the parent is the identity).
      n.sameWorlds = parentSame && (n.parent < 0 || (M[3] == 0 && M[7] == 0 && M[11] == 0));
      forwardWorld[i] = n.sameWorlds ? chainWorld[i] : affineTimesAffine(parentForward, A);
    } else {
      A = n.attach * M;
      PT = parentChain * n.attach;
      chainWorld[i] = PT * M;
      forwardWorld[i] = parentForward * A;
      n.sameWorlds = false;
    }

    Columns* D = &derivatives[n.pathStart];
    unsigned char* alive = &live[n.pathStart];
    const unsigned char* need = &needed[n.pathStart];

    // Carry the ancestors' derivatives into this frame.
    int own = 0;
    if (n.parent >= 0) {
      const Node& p = nodes[n.parent];
      const Columns* PD = &derivatives[p.pathStart];
      const unsigned char* parentAlive = &live[p.pathStart];
      std::fill(alive, alive + p.pathCount, 0);
      auto carryEach = [&](auto carry) {
        for (int c = 0; c < n.carriedCount; ++c) {
          const int q = carried[n.carriedStart + c];
          if (parentAlive[q]) alive[q] = carry(PD[q], D[q]);
        }
      };
      if (!isAffine(A)) {
        carryEach([&](const Columns& d, Columns& out) {
          const Mat4 m = columns::toMatrix(d) * A;
          out = columns::fromMatrix(m);
          return !m.isZero();
        });
      } else if (hasIdentityRotation(A)) {
        const Vec3 shift(A[3], A[7], A[11]);
        carryEach([&](const Columns& d, Columns& out) { return columns::carryTranslation(d, shift, out); });
      } else {
        const columns::CarryFactors factors(A);
        carryEach([&](const Columns& d, Columns& out) { return columns::carry(d, factors, out); });
      }
      own = p.pathCount;
    }

    // This joint's own derivatives.
    const OwnFactor factor(PT);
    if (n.pair && isAffine(*n.pair->child(1).matrix())) {
      ownPairDerivatives(n, factor, D + own, need + own, alive + own);
    } else {
      if (n.ball) n.ball->q.toMatrixDerivatives(ballScratch, need + own);
      for (int j = 0; j < n.ownDofs; ++j) {
        if (!need[own + j]) {
          alive[own + j] = 0;
          continue;
        }
        alive[own + j] = factor.times(n.ball ? ballScratch[j] : joint.derivative(j), D[own + j]);
      }
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
    const Columns* D = &derivatives[n.pathStart];
    const unsigned char* alive = &live[n.pathStart];
    const int* dofs = &pathDofs[n.pathStart];
    // Zero matrices and zero weights add nothing: only these DOFs can change.
    for (int q = 0; q < n.pathCount; ++q) {
      if (!alive[q]) continue;
      const int i = dofs[q];
      const double L = f * w[i];
      if (L != 0.0) g[i] += columns::gradientTerm(D[q], L, p, e);
    }
  }
}
