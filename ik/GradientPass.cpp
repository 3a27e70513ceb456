#include "ik/GradientPass.h"

#include <algorithm>

#include "figure/Figure.h"
#include "ik/Solver.h"

using columns::DerivativeColumns;
using Node = GradientLayout::Node;

namespace {

#if defined(__x86_64__)
bool hasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}
#else
bool hasAvx2() { return false; }
#endif

bool wideInstructions = hasAvx2();

const columns::WorldColumns kIdentityColumns = columns::toWorldColumns(Mat4());

// The derivatives of one element's matrix for the parameters flagged in
// needed, as its derivative(k) gives them; a ball joint makes all at once,
// and a hinge's is made without a virtual call.
void elementDerivatives(const GradientLayout::Element& element, const unsigned char* needed, Mat4* out) {
  if (element.ball) {
    element.ball->q.toMatrixDerivatives(out, needed);
  } else if (element.hinge) {
    if (needed[0]) out[0] = element.hinge->derivative(0);
  } else {
    for (int k = 0; k < element.dofCount; ++k) {
      if (needed[k]) out[k] = element.transform->derivative(k);
    }
  }
}

// d := before d and d := d after, as products::product forms them. For a
// joint of the program's own kinds the operands' shapes are known (an affine
// before and after, a derivative d), so the short products are taken without
// looking.
void leftTimes(const Mat4& before, Mat4& d, bool builtInKinds) {
  if (builtInKinds) {
    products::rowsTimes<3>(before.m, products::WideRows(d), d.m);
  } else {
    d = products::product(before, d);
  }
}
void rightTimes(Mat4& d, const Mat4& after, bool builtInKinds) {
  if (builtInKinds) {
    products::rowsTimes<4>(d.m, products::WideRows(after), d.m);
  } else {
    d = products::product(d, after);
  }
}

// A = T M: the joint in its parent's frame, T the attachment translation.
Mat4 attached(const Mat4& M, const Vec3& t) {
  return products::isAffine(M) ? products::translationTimesAffine(t, M) : translationMatrix(t) * M;
}

// B d for the base B = P T of a joint's own derivatives; returns whether
// rows 0 to 2 hold a non-zero element.
bool baseTimes(const columns::WorldColumns& B, const Mat4& d, DerivativeColumns& out) {
  if (products::hasZeroBottomRow(d)) return columns::baseTimesDerivative(B, d, out);
  const Mat4 m = columns::toMatrix(B) * d;
  out = columns::toColumns(m);
  return !products::topRowsZero(m);
}

}  // namespace

bool GradientPass::useWideInstructions(bool wanted) {
  wideInstructions = wanted && hasAvx2();
  return wideInstructions;
}

GradientPass::GradientPass(const Figure& figure) : layout(figure), data(layout) { prepare(figure); }

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
// Inlining changes the speed only; the numbers are the same either way.
__attribute__((flatten)) void GradientPass::evaluatePortable(const Figure& figure, const Handle* dragged,
                                                             float* g) {
  evaluateSteps(figure, dragged, g);
}

#if defined(__x86_64__)
__attribute__((target("avx2"), flatten)) void GradientPass::evaluateWide(const Figure& figure,
                                                                         const Handle* dragged, float* g) {
  evaluateSteps(figure, dragged, g);
}
#else
void GradientPass::evaluateWide(const Figure& figure, const Handle* dragged, float* g) {
  evaluatePortable(figure, dragged, g);
}
#endif

// Writes the node's two world matrices and the base P T of its joint, where
// P is the parent's world matrix and T the attachment translation.
void GradientPass::worldMatrices(int i, columns::WorldColumns& base) {
  const Node& n = layout.nodes[i];
  const Mat4& M = *n.segment->joint->matrix();
  const Vec3& t = n.segment->attachment();
  columns::worldTimesTranslation(n.parent >= 0 ? data.chainWorld[n.parent] : kIdentityColumns, t, base);
  columns::worldTimes(base, M, data.chainWorld[i]);
  // The two ways round alike at the root, whose parent is the identity, and
  // below a node where they did, if the joint is affine and does not translate.
  const bool jointTranslates = M[3] != 0 || M[7] != 0 || M[11] != 0;
  data.sameWorlds[i] =
      n.parent < 0 || (data.sameWorlds[n.parent] && products::isAffine(M) && !jointTranslates);
  if (!data.sameWorlds[i]) {
    columns::worldTimes(data.forwardWorldOf(n.parent), attached(M, t), data.forwardWorld[i]);
  }
}

// The steps of one evaluation, node by node in pre-order, then the sums.
void GradientPass::evaluateSteps(const Figure& figure, const Handle* dragged, float* g) {
  for (int i = 0; i < static_cast<int>(layout.nodes.size()); ++i) {
    if (!plan.holdsHandles[i]) continue;
    columns::WorldColumns base;
    worldMatrices(i, base);
    if (layout.nodes[i].parent >= 0) carryAncestorDerivatives(i);
    ownDerivatives(i, base);
    placeHandles(i);
  }
  accumulate(figure, dragged, g);
}

// D := D A, A = T M the joint in its parent's frame, for every ancestor's
// derivative that the node needs and that is not known to be zero. What is
// carried stays marked non-zero without a look at its elements: should it
// come out zero, it only adds zeros to the gradient.
void GradientPass::carryAncestorDerivatives(int i) {
  const Node& n = layout.nodes[i];
  const Node& p = layout.nodes[n.parent];
  const DerivativeColumns* from = data.derivatives.data() + p.pathStart;
  const unsigned char* fromNonZero = data.nonZero.data() + p.pathStart;
  DerivativeColumns* to = data.derivatives.data() + n.pathStart;
  unsigned char* toNonZero = data.nonZero.data() + n.pathStart;
  std::fill(toNonZero, toNonZero + p.pathCount, 0);
  const int* first = plan.carriedSlots.data() + plan.carriedStart[i];
  const int* last = first + plan.carriedCount[i];
  auto forEachCarried = [=](auto carry) {
    for (const int* slot = first; slot != last; ++slot) {
      if (!fromNonZero[*slot]) continue;
      carry(from[*slot], to[*slot]);
      toNonZero[*slot] = 1;
    }
  };
  // T M has M's shape, so M is the one looked at (and was written long ago,
  // which a freshly stored A would not be).
  const Mat4& M = *n.segment->joint->matrix();
  const Vec3& t = n.segment->attachment();
  if (!products::isAffine(M)) {
    const Mat4 A = translationMatrix(t) * M;
    forEachCarried([&](const DerivativeColumns& d, DerivativeColumns& out) {
      out = columns::toColumns(columns::toMatrix(d) * A);
    });
  } else if (products::hasIdentityRotation(M)) {
    const Mat4 A = products::translationTimesAffine(t, M);
    const Vec3 shift(A[3], A[7], A[11]);
    forEachCarried([&](const DerivativeColumns& d, DerivativeColumns& out) {
      columns::carryThroughTranslation(d, shift, out);
    });
  } else {
    const columns::AffineFactors factors(M, t);
    forEachCarried([&](const DerivativeColumns& d, DerivativeColumns& out) {
      columns::carryThroughAffine(d, factors, out);
    });
  }
}

// D[own j] := (P T) dM/dj for the joint's needed parameters.
void GradientPass::ownDerivatives(int i, const columns::WorldColumns& base) {
  const Node& n = layout.nodes[i];
  const int first = n.pathStart + GradientLayout::inheritedSlots(n);
  const unsigned char* needed = plan.needed.data() + first;
  DerivativeColumns* D = data.derivatives.data() + first;
  unsigned char* nonZero = data.nonZero.data() + first;
  Mat4* dM = data.jointDerivatives.data();
  jointDerivatives(n, needed, dM);
  for (int j = 0; j < n.ownDofs; ++j) nonZero[j] = needed[j] && baseTimes(base, dM[j], D[j]);
}

// A joint's derivative for a parameter of element e, formed as a chain forms
// it: the product of the matrices before e, then e's derivative, then the
// matrices after e, multiplied from the left. The product of the matrices
// before e is shared by all of e's parameters.
void GradientPass::jointDerivatives(const Node& n, const unsigned char* needed, Mat4* out) {
  const GradientLayout::Element* elements = layout.elements.data() + n.firstElement;
  Mat4 before;
  for (int e = 0, first = 0; e < n.elementCount; first += elements[e].dofCount, ++e) {
    const GradientLayout::Element& element = elements[e];
    elementDerivatives(element, needed + first, out + first);
    for (int j = first; j < first + element.dofCount; ++j) {
      if (!needed[j]) continue;
      if (e > 0) leftTimes(before, out[j], n.builtInKinds);
      for (int after = e + 1; after < n.elementCount; ++after) {
        rightTimes(out[j], *elements[after].transform->matrix(), n.builtInKinds);
      }
    }
    if (e + 1 < n.elementCount) {
      const Mat4& M = *element.transform->matrix();
      before = e == 0 ? M : products::product(before, M);
    }
  }
}

void GradientPass::placeHandles(int i) {
  const Node& n = layout.nodes[i];
  const columns::WorldColumns& world = data.forwardWorldOf(i);
  for (Handle* h : n.segment->handles) h->worldPos = columns::pointThrough(world, h->localPos);
}

// g[i] += f w[i] (dx/di . e) for every record, in record order; zero
// derivatives and zero weights add nothing, so only the rest are summed.
void GradientPass::accumulate(const Figure& figure, const Handle* dragged, float* g) {
  const unsigned char* nonZero = data.nonZero.data();
  const DerivativeColumns* derivatives = data.derivatives.data();
  const int* slotDofs = layout.slotDofs.data();
  const int* weighted = plan.weightedSlots.data();
  for (const GradientPlan::Record& r : plan.records) {
    const double f = r.handle == dragged ? solver::kDraggedFactor : 1.0;
    const double* w = figure.dofWeights[layout.nodes[r.node].segment->index].data();
    const Vec3 p = r.handle->localPos;
    const Vec3 e = columns::pointThrough(data.chainWorld[r.node], p) - r.handle->targetPos;
    const int* first = weighted + r.firstWeighted;
    for (const int* slot = first; slot != first + r.weightedCount; ++slot) {
      if (!nonZero[*slot]) continue;
      const int dof = slotDofs[*slot];
      g[dof] += columns::gradientTerm(derivatives[*slot], f * w[dof], p, e);
    }
  }
}
