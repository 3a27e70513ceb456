#pragma once

#include "ik/GradientData.h"
#include "ik/GradientLayout.h"
#include "ik/GradientPlan.h"

class Figure;
struct Handle;

// One evaluation of the handles' world positions and of the weighted
// Jacobian-transpose gradient over all DOFs, in a single walk of the tree.
//
// The numbers are those of the plain algorithm (a world chain rebuilt per
// segment, a full array of derivative matrices copied per child and per
// handle): every product is formed in the same order and rounded to float at
// the same points, so the handles' positions and the gradient are the same
// bit for bit. Inside, a zero may differ in sign, which no result shows.
// The plain algorithm also sums zero terms that are left out here: the same
// as long as errors and derivatives are finite, which the solver keeps so. What differs is the work:
// derivatives are kept only for the DOFs on a segment's path from the root, only in branches that carry
// handles and only where some handle below gives the DOF a non-zero weight;
// matrices known to be zero are neither multiplied nor copied, and all
// storage is laid out once, so an iteration allocates nothing.
//
// Its state is split by lifetime: the layout follows from the tree, which
// never changes once the figure is built; the plan from the handles and the
// weights, made again by prepare(); the data is what each evaluation writes.
class GradientPass {
 public:
  explicit GradientPass(const Figure& figure);

  // Takes note of the figure's current handles and weights. Call it whenever
  // either may have changed since; evaluate() relies on it.
  void prepare(const Figure& figure);

  // Writes every handle's worldPos and adds the gradient of
  // 1/2 sum f |x - target|^2 (f = 3 for the dragged handle) to g.
  void evaluate(const Figure& figure, const Handle* dragged, float* g);

  // Whether passes run their AVX2 build, which the processor decides unless a
  // caller turns it off; returns whether it is in use. Both builds give the
  // same numbers: they differ only in how many elements an instruction takes.
  static bool useWideInstructions(bool wanted);

 private:
  void evaluatePortable(const Figure& figure, const Handle* dragged, float* g);
  void evaluateWide(const Figure& figure, const Handle* dragged, float* g);
  void evaluateSteps(const Figure& figure, const Handle* dragged, float* g);

  void worldMatrices(int node, columns::WorldColumns& base);
  void carryAncestorDerivatives(int node);
  void ownDerivatives(int node, const columns::WorldColumns& base);
  void jointDerivatives(const GradientLayout::Node& n, const unsigned char* needed, Mat4* out);
  void placeHandles(int node);
  void accumulate(const Figure& figure, const Handle* dragged, float* g);

  GradientLayout layout;
  GradientPlan plan;
  GradientData data;
};
