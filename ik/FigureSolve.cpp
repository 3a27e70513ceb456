#include <cmath>
#include <iostream>
#include <vector>

#include "figure/Figure.h"
#include "figure/PoseLimits.h"
#include "ik/GradientPass.h"
#include "ik/Solver.h"

using namespace solver;

namespace {

// What the gradient descends, 1/2 sum f |x - target|^2 (f = 3 for the
// dragged handle), without the 1/2; in double, so that no far target
// overflows it.
double handleError(const Figure& figure, const Handle* dragged) {
  double sum = 0.0;
  for (const HandleEntry& e : figure.handles) {
    const Handle& h = *e.handle;
    const double dx = double(h.worldPos.x) - h.targetPos.x, dy = double(h.worldPos.y) - h.targetPos.y,
                 dz = double(h.worldPos.z) - h.targetPos.z;
    sum += (e.handle == dragged ? kDraggedFactor : 1.0) * (dx * dx + dy * dy + dz * dz);
  }
  return sum;
}

// Finite and within what a pose holds; the joints only bring values nearer
// zero (limits, unit quaternions), so what they keep is too.
bool holdable(const std::vector<double>& x) {
  for (double v : x) {
    if (!(std::fabs(v) <= pose_limits::kValue)) return false;
  }
  return true;
}

}  // namespace

// The iteration of the drag solver, towards the handles' current targets.
//
// The fixed step is too long once many handles add their pulls (about 60 on
// the humanoid, whose root every handle pulls): the iteration then overshoots
// further at every step and flings the figure away. So a step is refused when
// it would leave what a pose holds, and the iteration stops when the handles'
// error grows beyond kDivergentGrowth times its start. The steps since the
// error last stood at or below its start are then undone: the pose is the
// last good one, and a drag's next solve starts no worse than this one did.
// A solve that never gets there takes every step it took before.
SolveResult Figure::solve(const Handle* dragged) {
  const int n = dofCount;
  std::vector<double> x(n), good(n);
  std::vector<float> g(n, 0.0f);
  GradientPass& gradientPass = pass();
  gradientPass.prepare(*this);

  int counter = 0;
  float norm = 0.0f;
  double startError = 0.0;
  bool atGood = true;  // the joints hold a pose no worse than the start
  int goodCounter = 0;
  float goodNorm = 0.0f;
  int unprinted = 0;  // "brem" lines of iterations not yet known to be kept
  auto backToGood = [&] {
    if (!atGood) {
      setHeldDofs(good);
      updateHandlePositions();
    }
    return SolveResult{goodCounter, goodNorm};
  };
  do {
    ++counter;
    // Read back what the joints kept (clamped angles, unit quaternions), step
    // against the last gradient and write the result through the joints.
    getDofs(root.get(), x.data());
    if (atGood) good = x, goodCounter = counter - 1, goodNorm = norm;
    for (int i = 0; i < n; ++i) {
      x[i] = x[i] - kStep * g[i];
      g[i] = 0.0f;
    }
    // A gradient that overflowed (a target absurdly far away) must not wreck
    // the pose either.
    if (!holdable(x)) return backToGood();
    setDofs(root.get(), x.data(), limitsEnabled);
    gradientPass.evaluate(*this, dragged, g.data());

    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
      if (angularDof[i]) g[i] = scaleAngular(g[i]);
      sum += double(g[i]) * g[i];
    }
    norm = static_cast<float>(std::sqrt(sum));

    const double error = handleError(*this, dragged);
    if (counter == 1) startError = error;
    if (!(error <= kDivergentGrowth * startError)) return backToGood();
    atGood = error <= startError;

    if (counter > kQuietIterations) ++unprinted;
    for (; atGood && unprinted > 0; --unprinted) std::cout << "brem" << std::endl;
  } while (keepGoing(norm, tolerance) && counter < kIterationCap);
  for (; unprinted > 0; --unprinted) std::cout << "brem" << std::endl;
  return {counter, norm};
}
