#include "ik/Solver.h"

#include <cmath>

using namespace solver;

// The turn count is truncated in double so that huge or non-finite values
// stay defined.
float solver::scaleAngular(float g) {
  const double k = std::trunc(g * kAngularDivisor);
  const float v = k != 0.0 ? g - static_cast<float>(k) : g;
  return static_cast<float>((v * 0.5f) * 3.14);
}
