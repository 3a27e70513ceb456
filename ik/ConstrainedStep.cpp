#include "ik/ConstrainedStep.h"

ConstrainedStep::ConstrainedStep(int dofs, int pinRows, double pinDamping_, double dragDamping_)
    : n(dofs), rows(pinRows), pinDamping(pinDamping_), dragDamping(dragDamping_) {}

bool ConstrainedStep::pins(const std::vector<double>& Jp, const std::vector<double>& e,
                           std::vector<double>& out) {
  std::vector<double> A(static_cast<std::size_t>(rows) * rows);
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j <= i; ++j) {
      double sum = 0.0;
      for (int k = 0; k < n; ++k) sum += Jp[i * n + k] * Jp[j * n + k];
      A[i * rows + j] = A[j * rows + i] = sum;
    }
    A[i * rows + i] += pinDamping;
  }
  if (!factor.factor(A, rows)) return false;
  std::vector<double> y = e;
  factor.solve(y.data());
  out.assign(n, 0.0);
  for (int i = 0; i < rows; ++i) {
    for (int k = 0; k < n; ++k) out[k] += Jp[i * n + k] * y[i];
  }
  return true;
}

void ConstrainedStep::project(const std::vector<double>& Jp, std::vector<double>& v) const {
  std::vector<double> y(rows, 0.0);
  for (int i = 0; i < rows; ++i) {
    for (int k = 0; k < n; ++k) y[i] += Jp[i * n + k] * v[k];
  }
  factor.solve(y.data());
  for (int i = 0; i < rows; ++i) {
    for (int k = 0; k < n; ++k) v[k] -= Jp[i * n + k] * y[i];
  }
}

bool ConstrainedStep::dragged(const std::vector<double>& Jp, const std::vector<double>& Jd,
                              const std::vector<double>& d, std::vector<double> r,
                              std::vector<double>& out) const {
  // M = Jd N D row by row: N is symmetric, so a row of Jd N is N applied to a row of Jd.
  std::vector<double> M(3 * n);
  for (int i = 0; i < 3; ++i) {
    std::vector<double> row(Jd.begin() + i * n, Jd.begin() + (i + 1) * n);
    project(Jp, row);
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
  project(Jp, out);
  return true;
}
