#pragma once

#include <vector>

#include "ik/Cholesky.h"

// One damped least-squares step with two priorities: first the pins' rows
// (Jp, rows x n), then the dragged handle's three (Jd, 3 x n) within what
// leaves the pins where the first step puts them. Matrices are row-major.
class ConstrainedStep {
 public:
  // pinDamping and dragDamping are added to the diagonals of the pins' and
  // of the dragged handle's systems: they keep steps finite near a singular
  // pose. The pins' system is n x n however many pins there are.
  ConstrainedStep(int dofs, int pinRows, double pinDamping, double dragDamping);

  // The pins' step Jp^T (Jp Jp^T + l I)^-1 e, l the pins' damping; false
  // when the system is not finite. Must come first: the others use its factor.
  bool pins(const std::vector<double>& Jp, const std::vector<double>& e, std::vector<double>& out);

  // v less its part that moves the pins: (I - Jp^T (Jp Jp^T + l I)^-1 Jp) v.
  void project(std::vector<double>& v) const;

  // The dragged handle's step N D z, z = (Jd N D)^+ r damped, with N the
  // projection above and D the diagonal d: how much each DOF may serve it.
  // r is what remains of its error after the pins' step.
  bool dragged(const std::vector<double>& Jd, const std::vector<double>& d, std::vector<double> r,
               std::vector<double>& out) const;

 private:
  int n;
  int rows;
  double pinDamping;
  double dragDamping;
  Cholesky factor;
};
