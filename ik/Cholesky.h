#pragma once

#include <vector>

// The Cholesky factor L L^T of a small symmetric positive definite matrix,
// for solving damped least-squares systems.
class Cholesky {
 public:
  // Factors the n x n row-major matrix a; false when it is not positive
  // definite (or not finite), and then solve() must not be called.
  bool factor(const std::vector<double>& a, int n);
  // Overwrites b (n values) with the solution of a x = b.
  void solve(double* b) const;

 private:
  std::vector<double> l;  // lower triangle, row-major
  int size = 0;
};
