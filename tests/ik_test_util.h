#pragma once

#include <memory>
#include <vector>

#include "humanoid/Humanoid.h"

// One gradient evaluation of the figure's current pose, as the solver makes it.
inline std::vector<float> evaluateGradient(Figure& f, const Handle* dragged) {
  std::vector<float> g(f.dofCount, 0.0f);
  f.gradient(dragged, g.data());
  return g;
}

// Handles owned by the test, pinned on named segments of a figure.
struct Pins {
  explicit Pins(Figure& figure) : f(figure) {}
  ~Pins() {
    for (auto& h : list) f.removeHandle(h.get());
  }
  Handle* add(const char* segment, Vec3 local) {
    list.push_back(std::make_unique<Handle>(local.x, local.y, local.z));
    f.addHandle(list.back().get(), f.findSegment(segment));
    f.updateHandlePositions();
    return list.back().get();
  }
  // On the segment's far end, where a drag has the most leverage.
  Handle* atEnd(const char* segment) { return add(segment, f.findSegment(segment)->endOffset); }

  Figure& f;
  std::vector<std::unique_ptr<Handle>> list;
};
