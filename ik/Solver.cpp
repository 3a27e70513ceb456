#include <cmath>
#include <iostream>
#include <vector>

#include "figure/Figure.h"
#include "ik/Solver.h"

// The turn count is truncated in double so that huge or non-finite values
// stay defined.
float solver::scaleAngular(float g) {
  const double k = std::trunc(g * kAngularDivisor);
  const float v = k != 0.0 ? g - static_cast<float>(k) : g;
  return static_cast<float>((v * 0.5f) * 3.14);
}

using namespace solver;

SolveResult Figure::solve(const Handle* dragged) {
  jacobians.clear();
  const int n = dofCount;
  std::vector<double> x(n);
  std::vector<float> g(n, 0.0f);
  int counter = 0;
  float norm = 0.0f;
  do {
    ++counter;
    std::vector<std::unique_ptr<Transform>> start;
    start.push_back(std::make_unique<IdentityTransform>());
    auto chain = std::make_unique<TransformChain>(std::move(start));
    std::vector<Mat4> zero(n, Mat4::zero());

    getDofs(root.get(), x.data());
    for (int i = 0; i < n; ++i) {
      x[i] = x[i] - kStep * g[i];
      g[i] = 0.0f;
    }
    setDofs(root.get(), x.data(), limitsEnabled);
    updateHandlePositions();
    buildJacobians(root.get(), std::move(chain), std::move(zero), 0);
    accumulateGradient(dragged, g.data());

    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
      if (angularDof[i]) g[i] = scaleAngular(g[i]);
      sum += double(g[i]) * g[i];
    }
    norm = static_cast<float>(std::sqrt(sum));
    jacobians.clear();

    if (counter > kQuietIterations) std::cout << "brem" << std::endl;
  } while (keepGoing(norm, tolerance) && counter < kIterationCap);
  return {counter, norm};
}
