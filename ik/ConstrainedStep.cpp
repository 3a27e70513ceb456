#include "ik/ConstrainedStep.h"

ConstrainedStep::ConstrainedStep(int dofs, int pinRows, double pinDamping_, double dragDamping_)
    : n(dofs), rows(pinRows), pinDamping(pinDamping_), dragDamping(dragDamping_) {}

// Both in the form with C = Jp^T Jp + l I, n x n whatever the number of
// pins: Jp^T (Jp Jp^T + l I)^-1 = C^-1 Jp^T, and so the projection is l C^-1.
bool ConstrainedStep::pins(const std::vector<double>& Jp, const std::vector<double>& e,
                           std::vector<double>& out) {
  std::vector<double> C(static_cast<std::size_t>(n) * n, 0.0);
  out.assign(n, 0.0);
  for (int i = 0; i < rows; ++i) {
    const double* row = Jp.data() + static_cast<std::size_t>(i) * n;
    for (int k = 0; k < n; ++k) {
      if (row[k] == 0.0) continue;
      out[k] += row[k] * e[i];
      for (int j = 0; j <= k; ++j) C[k * n + j] += row[k] * row[j];
    }
  }
  for (int k = 0; k < n; ++k) {
    for (int j = 0; j < k; ++j) C[j * n + k] = C[k * n + j];
    C[k * n + k] += pinDamping;
  }
  if (!factor.factor(C, n)) return false;
  factor.solve(out.data());
  return true;
}

void ConstrainedStep::project(std::vector<double>& v) const {
  factor.solve(v.data());
  for (double& x : v) x *= pinDamping;
}

bool ConstrainedStep::dragged(const std::vector<double>& Jd, const std::vector<double>& d,
                              std::vector<double> r, std::vector<double>& out) const {
  // M = Jd N D row by row: N is symmetric, so a row of Jd N is N applied to a row of Jd.
  std::vector<double> M(3 * n);
  for (int i = 0; i < 3; ++i) {
    std::vector<double> row(Jd.begin() + i * n, Jd.begin() + (i + 1) * n);
    project(row);
    for (int k = 0; k < n; ++k) M[i * n + k] = row[k] * d[k];
  }
  std::vector<double> B(9);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      double sum = 0.0;
      for (int k = 0; k < n; ++k) sum += M[i * n + k] * M[j * n + k];
      B[i * 3 + j] = sum + (i == j ? dragDamping : 0.0);
    }
  }
  Cholesky small;
  if (!small.factor(B, 3)) return false;
  small.solve(r.data());
  out.assign(n, 0.0);
  for (int k = 0; k < n; ++k) out[k] = d[k] * (M[k] * r[0] + M[n + k] * r[1] + M[2 * n + k] * r[2]);
  project(out);
  return true;
}
