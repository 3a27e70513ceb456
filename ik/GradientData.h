#pragma once

#include <vector>

#include "ik/DerivativeColumns.h"
#include "ik/GradientLayout.h"
#include "ik/WorldColumns.h"
#include "math/Mat4.h"

// What each evaluation of the gradient writes, laid out once for a tree so
// that an iteration allocates nothing. Entries of nodes and slots that the
// plan leaves out keep stale values and are never read.
struct GradientData {
  explicit GradientData(const GradientLayout& layout)
      : derivatives(layout.slotDofs.size()),
        nonZero(layout.slotDofs.size()),
        chainWorld(layout.nodes.size()),
        forwardWorld(layout.nodes.size()),
        sameWorlds(layout.nodes.size()),
        jointDerivatives(layout.maxOwnDofs) {}

  // Per slot: d world / d DOF of the node, and whether it may be non-zero:
  // false where a joint's own derivative came out zero (a hinge about no
  // axis, say) and below it, so that it is never carried nor summed.
  std::vector<columns::DerivativeColumns> derivatives;
  std::vector<unsigned char> nonZero;
  // Per node, the world matrix twice: as a chain of products builds it,
  // ((P T) M), which measures the handles' errors, and as the forward pass
  // builds it, P (T M), which places them. They round differently where a
  // joint translates; sameWorlds says they came out equal, and then only
  // chainWorld is written.
  std::vector<columns::WorldColumns> chainWorld;
  std::vector<columns::WorldColumns> forwardWorld;
  std::vector<unsigned char> sameWorlds;
  const columns::WorldColumns& forwardWorldOf(int node) const {
    return sameWorlds[node] ? chainWorld[node] : forwardWorld[node];
  }
  // One joint's own derivatives, row-major, before the frame multiplies them.
  std::vector<Mat4> jointDerivatives;
};
