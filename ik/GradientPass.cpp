#include "ik/GradientPass.h"

#include <algorithm>

#include "figure/Figure.h"
#include "ik/Solver.h"

using columns::DerivativeColumns;
using Node = GradientLayout::Node;

namespace {

#if defined(__x86_64__) || defined(__i386__)
bool hasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}
#else
bool hasAvx2() { return false; }
#endif

bool wideInstructions = hasAvx2();

const Mat4 kIdentity;

// The derivatives of one transform's matrix for the parameters flagged in
// needed, as its derivative(k) gives them; a ball joint makes all at once.
void parameterDerivatives(const Transform& t, const QuatRotation* ball, int count,
                          const unsigned char* needed, Mat4* out) {
  if (ball) {
    ball->q.toMatrixDerivatives(out, needed);
    return;
  }
  for (int k = 0; k < count; ++k) {
    if (needed[k]) out[k] = t.derivative(k);
  }
}

}  // namespace

bool GradientPass::useWideInstructions(bool wanted) {
  wideInstructions = wanted && hasAvx2();
  return wideInstructions;
}

GradientPass::GradientPass(const Figure& figure) : layout(figure), data(layout) {}

void GradientPass::prepare(const Figure& figure) { plan.prepare(layout, figure); }

void GradientPass::evaluate(const Figure& figure, const Handle* dragged, float* g) {
  if (wideInstructions) {
    evaluateWide(figure, dragged, g);
  } else {
    evaluatePortable(figure, dragged, g);
  }
}

// One body, built twice. The kernels are vector code whose instructions are
// chosen where it is compiled, so the AVX2 build depends on every step and
// kernel being inlined into evaluateWide: flatten makes the compiler do so
// (only the joints' virtual derivatives and the quaternion's stay calls).
__attribute__((flatten)) void GradientPass::evaluatePortable(const Figure& figure, const Handle* dragged,
                                                             float* g) {
  evaluateSteps(figure, dragged, g);
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"), flatten)) void GradientPass::evaluateWide(const Figure& figure,
                                                                         const Handle* dragged, float* g) {
  evaluateSteps(figure, dragged, g);
}
#else
void GradientPass::evaluateWide(const Figure& figure, const Handle* dragged, float* g) {
  evaluatePortable(figure, dragged, g);
}
#endif

// The joint in its parent's frame, A = T M, and the parent's frame at the
// joint, P T, where T is the attachment translation.
struct GradientPass::JointFrames {
  Mat4 attached;
  Mat4 parentAttached;
};

void GradientPass::evaluateSteps(const Figure& figure, const Handle* dragged, float* g) {
  for (int i = 0; i < static_cast<int>(layout.nodes.size()); ++i) {
    if (!plan.holdsHandles[i]) continue;
    const JointFrames frames = worldMatrices(i);
    if (layout.nodes[i].parent >= 0) carryAncestorDerivatives(i, frames.attached);
    ownDerivatives(i, frames.parentAttached);
    placeHandles(i);
  }
  accumulate(figure, dragged, g);
}


// Writes the node's two world matrices; returns the frames they came from.
GradientPass::JointFrames GradientPass::worldMatrices(int i) {
  const Node& n = layout.nodes[i];
  const Mat4& M = *n.segment->joint->matrix();
  const Vec3& t = n.segment->attachment();
  const Mat4& chainParent = n.parent >= 0 ? data.chainWorld[n.parent] : kIdentity;
  const Mat4& forwardParent = n.parent >= 0 ? data.forwardWorld[n.parent] : kIdentity;
  JointFrames f;
  if (!products::isAffine(M) || !products::isAffine(chainParent) || !products::isAffine(forwardParent)) {
    f.attached = translationMatrix(t) * M;
    f.parentAttached = chainParent * translationMatrix(t);
    data.chainWorld[i] = f.parentAttached * M;
    data.forwardWorld[i] = forwardParent * f.attached;
    data.sameWorlds[i] = false;
    return f;
  }
  f.attached = products::translationTimesAffine(t, M);
  f.parentAttached = products::affineTimesTranslation(chainParent, t);
  data.chainWorld[i] = products::affineTimesAffine(f.parentAttached, M);
  // The two ways round alike where the joint does not translate, and at the
  // root, whose parent is the identity.
  const bool jointTranslates = M[3] != 0 || M[7] != 0 || M[11] != 0;
  data.sameWorlds[i] = n.parent < 0 || (data.sameWorlds[n.parent] && !jointTranslates);
  data.forwardWorld[i] =
      data.sameWorlds[i] ? data.chainWorld[i] : products::affineTimesAffine(forwardParent, f.attached);
  return f;
}

// D := D A for every ancestor's derivative that the node needs and that is
// non-zero; the others are left out and marked zero.
void GradientPass::carryAncestorDerivatives(int i, const Mat4& A) {
  const Node& n = layout.nodes[i];
  const Node& p = layout.nodes[n.parent];
  const DerivativeColumns* from = &data.derivatives[p.pathStart];
  const unsigned char* fromNonZero = &data.nonZero[p.pathStart];
  DerivativeColumns* to = &data.derivatives[n.pathStart];
  unsigned char* toNonZero = &data.nonZero[n.pathStart];
  std::fill(toNonZero, toNonZero + p.pathCount, 0);
  const int* slots = &plan.carriedSlots[plan.carriedStart[i]];
  const int count = plan.carriedCount[i];
  auto carryEach = [=](auto carry) {
    for (int c = 0; c < count; ++c) {
      const int k = slots[c];
      if (fromNonZero[k]) toNonZero[k] = carry(from[k], to[k]);
    }
  };
  if (!products::isAffine(A)) {
    carryEach([&](const DerivativeColumns& d, DerivativeColumns& out) {
      const Mat4 m = columns::toRows(d) * A;
      out = columns::toColumns(m);
      return !m.isZero();
    });
  } else if (products::hasIdentityRotation(A)) {
    const Vec3 shift(A[3], A[7], A[11]);
    carryEach([&](const DerivativeColumns& d, DerivativeColumns& out) {
      return columns::carryThroughTranslation(d, shift, out);
    });
  } else {
    const columns::AffineFactors factors(A);
    carryEach([&](const DerivativeColumns& d, DerivativeColumns& out) {
      return columns::carryThroughAffine(d, factors, out);
    });
  }
}

// The frame P T that multiplies a joint's own derivatives from the left.
struct GradientPass::Frame {
  const Mat4& rows;
  const columns::WideColumns wide;
  explicit Frame(const Mat4& F) : rows(F), wide(F) {}

  // F d into out; returns whether rows 0 to 2 hold a non-zero element.
  bool times(const Mat4& d, DerivativeColumns& out) const {
    if (products::hasZeroBottomRow(d)) return columns::frameTimesDerivative(wide, d, out);
    const Mat4 m = rows * d;
    out = columns::toColumns(m);
    return !products::topRowsZero(m);
  }
};

// D[own j] := (P T) dM/dj for the joint's needed parameters.
void GradientPass::ownDerivatives(int i, const Mat4& parentAttached) {
  const Node& n = layout.nodes[i];
  const int first = n.pathStart + GradientLayout::inheritedSlots(n);
  const unsigned char* needed = &plan.needed[first];
  DerivativeColumns* D = &data.derivatives[first];
  unsigned char* nonZero = &data.nonZero[first];
  Mat4* joint = data.jointDerivatives.data();
  jointDerivatives(n, needed, joint);
  const Frame frame(parentAttached);
  for (int j = 0; j < n.ownDofs; ++j) nonZero[j] = needed[j] && frame.times(joint[j], D[j]);
}

void GradientPass::jointDerivatives(const Node& n, const unsigned char* needed, Mat4* out) {
  if (n.form == GradientLayout::Form::Chain) {
    chainDerivatives(n, needed, out);
  } else {
    parameterDerivatives(*n.segment->joint, n.ball, n.ownDofs, needed, out);
  }
}

// A chain's derivative for a parameter of element e, formed as the chain
// forms it: the product of the matrices before e, then e's derivative, then
// the matrices after e, multiplied from the left. The product of the
// matrices before e is shared by all of e's parameters.
void GradientPass::chainDerivatives(const Node& n, const unsigned char* needed, Mat4* out) {
  const GradientLayout::Element* elements = &layout.elements[n.firstElement];
  Mat4 before;
  for (int e = 0, first = 0; e < n.elementCount; first += elements[e].dofCount, ++e) {
    const GradientLayout::Element& element = elements[e];
    parameterDerivatives(*element.transform, element.ball, element.dofCount, needed + first, out + first);
    for (int k = first; k < first + element.dofCount; ++k) {
      if (!needed[k]) continue;
      if (e > 0) out[k] = products::product(before, out[k]);
      for (int after = e + 1; after < n.elementCount; ++after) {
        out[k] = products::product(out[k], *elements[after].transform->matrix());
      }
    }
    const Mat4& M = *element.transform->matrix();
    before = e == 0 ? M : products::product(before, M);
  }
}

void GradientPass::placeHandles(int i) {
  const Node& n = layout.nodes[i];
  for (Handle* h : n.segment->handles) h->worldPos = transformPoint(data.forwardWorld[i], h->localPos);
}

// g[i] += f w[i] (dx/di . e) for every record, in record order; zero
// derivatives and zero weights add nothing, so only the rest are summed.
void GradientPass::accumulate(const Figure& figure, const Handle* dragged, float* g) {
  for (const GradientPlan::Record& r : plan.records) {
    const Node& n = layout.nodes[r.node];
    const double f = r.handle == dragged ? solver::kDraggedFactor : 1.0;
    const std::vector<double>& w = figure.dofWeights[n.segment->index];
    const Vec3 p = r.handle->localPos;
    const Vec3 e = transformPoint(data.chainWorld[r.node], p) - r.handle->targetPos;
    for (int s = n.pathStart; s < n.pathStart + n.pathCount; ++s) {
      if (!data.nonZero[s]) continue;
      const int dof = layout.slotDofs[s];
      const double L = f * w[dof];
      if (L != 0.0) g[dof] += columns::gradientTerm(data.derivatives[s], L, p, e);
    }
  }
}
