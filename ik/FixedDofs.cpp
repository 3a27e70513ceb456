#include "ik/FixedDofs.h"

FixedDofs::FixedDofs(Figure& figure_, const std::vector<unsigned char>& fixed)
    : figure(figure_), saved(figure_.dofWeights) {
  for (auto& row : figure.dofWeights) {
    for (std::size_t k = 0; k < row.size() && k < fixed.size(); ++k) {
      if (fixed[k]) row[k] = 0.0;
    }
  }
}

FixedDofs::~FixedDofs() { figure.dofWeights = saved; }
