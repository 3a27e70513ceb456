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
    for (int s = n.pathStart; s < n.pathStart + n.pathCount; ++s)
      needed[s] = weights[layout.slotDofs[s]] != 0.0;
    const int firstWeighted = static_cast<int>(weightedSlots.size());
    for (int s = n.pathStart; s < n.pathStart + n.pathCount; ++s) {
      if (needed[s]) weightedSlots.push_back(s);
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
    for (int k = 0; k < p.pathCount; ++k) needed[p.pathStart + k] |= needed[n.pathStart + k];
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
    for (int k = 0; k < GradientLayout::inheritedSlots(n); ++k) {
      if (needed[n.pathStart + k]) carriedSlots.push_back(k);
    }
    carriedCount[i] = static_cast<int>(carriedSlots.size()) - carriedStart[i];
  }
}
