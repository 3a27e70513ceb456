#include "ik/GradientPlan.h"

#include <algorithm>

#include "figure/Figure.h"

void GradientPlan::prepare(const GradientLayout& layout, const Figure& figure) {
  markHandles(layout, figure);
  passNeedsUp(layout);
  listCarriedSlots(layout);
}

// Each node with handles, its ancestors, the DOFs its weight row keeps and
// its records.
void GradientPlan::markHandles(const GradientLayout& layout, const Figure& figure) {
  holdsHandles.assign(layout.nodes.size(), 0);
  needed.assign(layout.slotDofs.size(), 0);
  records.clear();
  weightedSlots.clear();
  for (int i = 0; i < static_cast<int>(layout.nodes.size()); ++i) {
    const GradientLayout::Node& n = layout.nodes[i];
    if (n.segment->handles.empty()) continue;
    for (int k = i; k >= 0 && !holdsHandles[k]; k = layout.nodes[k].parent) holdsHandles[k] = 1;
    const std::vector<double>& weights = figure.dofWeights[n.segment->index];
    const int firstWeighted = static_cast<int>(weightedSlots.size());
    for (int slot = n.pathStart; slot < n.pathStart + n.pathCount; ++slot) {
      needed[slot] = weights[layout.slotDofs[slot]] != 0.0;
      if (needed[slot]) weightedSlots.push_back(slot);
    }
    const int weightedCount = static_cast<int>(weightedSlots.size()) - firstWeighted;
    for (const Handle* h : n.segment->handles) records.push_back({i, h, firstWeighted, weightedCount});
  }
  std::reverse(records.begin(), records.end());
}

// A parent needs a derivative where any child does; children come after
// their parent in pre-order, so one backward sweep reaches the root.
void GradientPlan::passNeedsUp(const GradientLayout& layout) {
  for (int i = static_cast<int>(layout.nodes.size()) - 1; i > 0; --i) {
    const GradientLayout::Node& n = layout.nodes[i];
    if (!holdsHandles[i]) continue;
    const GradientLayout::Node& p = layout.nodes[n.parent];
    for (int slot = 0; slot < p.pathCount; ++slot) needed[p.pathStart + slot] |= needed[n.pathStart + slot];
  }
}

void GradientPlan::listCarriedSlots(const GradientLayout& layout) {
  const int count = static_cast<int>(layout.nodes.size());
  carriedSlots.clear();
  carriedStart.assign(count, 0);
  carriedCount.assign(count, 0);
  for (int i = 0; i < count; ++i) {
    const GradientLayout::Node& n = layout.nodes[i];
    carriedStart[i] = static_cast<int>(carriedSlots.size());
    if (!holdsHandles[i] || n.parent < 0) continue;
    for (int slot = 0; slot < GradientLayout::inheritedSlots(n); ++slot) {
      if (needed[n.pathStart + slot]) carriedSlots.push_back(slot);
    }
    carriedCount[i] = static_cast<int>(carriedSlots.size()) - carriedStart[i];
  }
}
