#include "ik/GradientLayout.h"

#include <algorithm>
#include <typeinfo>

#include "figure/Figure.h"

namespace {

// The chain itself, not a kind derived from it that may compose otherwise.
const TransformChain* asChain(const Transform& t) {
  return typeid(t) == typeid(TransformChain) ? static_cast<const TransformChain*>(&t) : nullptr;
}

bool isBuiltInKind(const Transform& t) {
  if (const TransformChain* chain = asChain(t)) {
    for (int e = 0; e < chain->childCount(); ++e) {
      if (!isBuiltInKind(chain->child(e))) return false;
    }
    return true;
  }
  return typeid(t) == typeid(IdentityTransform) || typeid(t) == typeid(Translation) ||
         typeid(t) == typeid(AxisRotation) || typeid(t) == typeid(QuatRotation);
}

}  // namespace

GradientLayout::GradientLayout(const Figure& figure) { addNode(figure.root.get(), -1, 0); }

// Pre-order: the node, then its children's subtrees in stored order, numbered
// as the DOF vector is. Returns the subtree's DOF count.
int GradientLayout::addNode(Segment* s, int parent, int firstDof) {
  Node node{};
  node.segment = s;
  node.parent = parent;
  node.ownDofs = s->joint->dofCount();
  node.pathStart = static_cast<int>(slotDofs.size());
  if (parent >= 0) {
    const Node& p = nodes[parent];
    for (int k = 0; k < p.pathCount; ++k) slotDofs.push_back(slotDofs[p.pathStart + k]);
  }
  for (int j = 0; j < node.ownDofs; ++j) slotDofs.push_back(firstDof + j);
  node.pathCount = static_cast<int>(slotDofs.size()) - node.pathStart;
  addElements(node, *s->joint);
  maxOwnDofs = std::max(maxOwnDofs, node.ownDofs);

  const int index = static_cast<int>(nodes.size());
  nodes.push_back(node);
  int count = node.ownDofs;
  for (int i = 0; i < s->childCount(); ++i) count += addNode(s->child(i), index, firstDof + count);
  return count;
}

void GradientLayout::addElements(Node& node, const Transform& joint) {
  auto element = [](const Transform& t) {
    return Element{&t, dynamic_cast<const QuatRotation*>(&t), dynamic_cast<const AxisRotation*>(&t),
                   t.dofCount()};
  };
  node.firstElement = static_cast<int>(elements.size());
  if (const TransformChain* chain = asChain(joint)) {
    for (int e = 0; e < chain->childCount(); ++e) elements.push_back(element(chain->child(e)));
  } else {
    elements.push_back(element(joint));
  }
  node.elementCount = static_cast<int>(elements.size()) - node.firstElement;
  node.builtInKinds = isBuiltInKind(joint);
}
