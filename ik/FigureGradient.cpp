#include <algorithm>

#include "figure/Figure.h"
#include "ik/GradientPass.h"

// The figure's operations that belong to the solver: its gradient pass and
// the weight presets.

void Figure::PassDeleter::operator()(GradientPass* pass) const { delete pass; }

GradientPass& Figure::pass() {
  if (!gradientPass) gradientPass.reset(new GradientPass(*this));
  return *gradientPass;
}

void Figure::gradient(const Handle* dragged, float* g) {
  std::fill(g, g + dofCount, 0.0f);
  pass().prepare(*this);
  pass().evaluate(*this, dragged, g);
}

void Figure::setUniformWeights() {
  limbWeights = false;
  for (auto& row : dofWeights) std::fill(row.begin(), row.end(), 1.0);
}

void Figure::setLimbWeights() {
  limbWeights = true;
  const int n = dofCount;
  // Rows of one limb: nothing of the root translation, a little of the root
  // rotation, all of the limb's own DOFs [from, to].
  auto limb = [n](std::vector<double>& row, int from, int to) {
    for (int i = 0; i < n; ++i) {
      if (i >= from && i <= to) {
        row[i] = 1.0;
      } else if (i >= 4 && i <= 6) {
        row[i] = 0.05;
      } else {
        row[i] = 0.0;
      }
    }
  };
  std::fill(dofWeights[0].begin(), dofWeights[0].end(), 1.0);
  for (int r : {1, 10}) limb(dofWeights[r], 21, n - 1);
  for (int r : {2, 4, 5, 6}) limb(dofWeights[r], 7, 13);
  for (int r : {3, 7, 8, 9}) limb(dofWeights[r], 14, 20);
  for (int r : {11, 12}) limb(dofWeights[r], 25, 32);
  for (int r : {13, 14, 15, 16}) limb(dofWeights[r], 33, 41);
  for (int r : {17, 18, 19, 20}) limb(dofWeights[r], 42, n - 1);
}
