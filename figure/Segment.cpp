#include "figure/Segment.h"

#include <algorithm>

Segment::Segment(int index_, const char* name_, Vec3 endOffset_, std::unique_ptr<Transform> joint_)
    : endOffset(endOffset_), joint(std::move(joint_)), index(index_), name(name_) {
  children.reserve(1);
}

Segment* Segment::addChild(std::unique_ptr<Segment> child) {
  // Capacity starts at one slot and doubles when full.
  if (children.size() == children.capacity()) children.reserve(2 * children.capacity());
  child->parent = this;
  children.push_back(std::move(child));
  return children.back().get();
}

void Segment::removeHandle(Handle* handle) {
  auto it = std::find(handles.begin(), handles.end(), handle);
  if (it != handles.end()) handles.erase(it);
}
