#pragma once

#include <list>
#include <memory>
#include <vector>

#include "figure/Handle.h"
#include "figure/Transform.h"
#include "math/Mat4.h"
#include "math/Vec3.h"

// One rigid part of the body with the joint that attaches it to its parent.
class Segment {
 public:
  Segment(int index, const char* name, Vec3 endOffset, std::unique_ptr<Transform> joint);

  Segment(const Segment&) = delete;
  Segment& operator=(const Segment&) = delete;

  // Appends a child, taking ownership; the child order fixes the DOF numbering.
  Segment* addChild(std::unique_ptr<Segment> child);

  // Unlinks the first occurrence of handle from this segment's list, if any.
  void removeHandle(Handle* handle);

  int childCount() const { return static_cast<int>(children.size()); }
  int childCapacity() const { return static_cast<int>(children.capacity()); }
  Segment* child(int i) const { return children[i].get(); }
  int handleCount() const { return static_cast<int>(handles.size()); }

  // Where this segment's frame begins inside its parent's: the parent's end,
  // or, for the root, its own endOffset.
  const Vec3& attachment() const { return parent ? parent->endOffset : endOffset; }

  Segment* parent = nullptr;
  Mat4 shape;             // maps the ball of radius 0.5 onto the body
  bool hasShape = false;  // false: drawn as a line, never picked
  Vec3 endOffset;         // where the children's frames begin
  std::unique_ptr<Transform> joint;
  std::list<Handle*> handles;  // in insertion order
  int index;
  const char* name;

 private:
  std::vector<std::unique_ptr<Segment>> children;
};
