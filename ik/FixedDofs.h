#pragma once

#include <array>
#include <vector>

#include "figure/Figure.h"

// While it lives, the flagged DOFs weigh nothing for any handle, so the
// figure's solve leaves them where they are (a turned joint, say). The
// weights come back as they were, bit for bit, when it goes.
class FixedDofs {
 public:
  FixedDofs(Figure& figure, const std::vector<unsigned char>& fixed);
  ~FixedDofs();

  FixedDofs(const FixedDofs&) = delete;
  FixedDofs& operator=(const FixedDofs&) = delete;

 private:
  Figure& figure;
  std::array<std::vector<double>, Figure::kWeightRows> saved;
};
