#include <cmath>
#include <iostream>
#include <vector>

#include "figure/Figure.h"
#include "ik/GradientPass.h"
#include "ik/Solver.h"

using namespace solver;

// The iteration of the drag solver, towards the handles' current targets.
SolveResult Figure::solve(const Handle* dragged) {
  const int n = dofCount;
  std::vector<double> x(n);
  std::vector<float> g(n, 0.0f);
  GradientPass& gradientPass = pass();
  gradientPass.prepare(*this);

  int counter = 0;
  float norm = 0.0f;
  do {
    ++counter;
    // Read back what the joints kept (clamped angles, unit quaternions), step
    // against the last gradient and write the result through the joints.
    getDofs(root.get(), x.data());
    bool finite = true;
    for (int i = 0; i < n; ++i) {
      x[i] = x[i] - kStep * g[i];
      g[i] = 0.0f;
      finite &= std::isfinite(x[i]);
    }
    // A gradient that overflowed (a target absurdly far away) must not wreck
    // the pose: the joints keep the last finite one, which the handles
    // already match, and the solve ends.
    if (!finite) break;
    setDofs(root.get(), x.data(), limitsEnabled);
    gradientPass.evaluate(*this, dragged, g.data());

    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
      if (angularDof[i]) g[i] = scaleAngular(g[i]);
      sum += double(g[i]) * g[i];
    }
    norm = static_cast<float>(std::sqrt(sum));

    if (counter > kQuietIterations) std::cout << "brem" << std::endl;
  } while (keepGoing(norm, tolerance) && counter < kIterationCap);
  return {counter, norm};
}
