#pragma once

#include <vector>

#include "ik/GradientLayout.h"

struct Handle;

// What the gradient pass takes from the handles and the weights: which nodes
// it must visit, which derivatives some handle needs, and the order in which
// handles add to the gradient. Made again whenever either may have changed;
// the solver does so at the start of every solve.
class GradientPlan {
 public:
  // One handle's turn in the accumulation.
  struct Record {
    int node;
    const Handle* handle;
    int firstWeighted, weightedCount;  // its slots in weightedSlots
  };

  void prepare(const GradientLayout& layout, const Figure& figure);

  // The node's subtree holds a handle: only such nodes are visited.
  std::vector<unsigned char> holdsHandles;
  // Per slot: some handle at or below the node gives the slot's DOF a
  // non-zero weight. Other derivatives are never formed.
  std::vector<unsigned char> needed;
  // Per node, from carriedStart[node]: which of the parent's slots it
  // carries into its own frame (those it needs).
  std::vector<int> carriedSlots;
  std::vector<int> carriedStart, carriedCount;
  // In the order of the plain algorithm's record list: newest first, that is
  // reverse pre-order, each segment's handles last added first. Every DOF's
  // sum follows it.
  std::vector<Record> records;
  // Per record, the slots of its node whose DOF its weight row keeps: only
  // these can add to the gradient.
  std::vector<int> weightedSlots;

 private:
  void markHandles(const GradientLayout& layout, const Figure& figure);
  void passNeedsUp(const GradientLayout& layout);
  void listCarriedSlots(const GradientLayout& layout);
};
