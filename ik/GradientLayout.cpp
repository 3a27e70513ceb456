#include "ik/GradientLayout.h"

#include <algorithm>

#include "figure/Figure.h"

GradientLayout::GradientLayout(const Figure& figure) { addNode(figure.root.get(), -1, 0); }

// Pre-order: the node, then its children's subtrees in stored order, numbered
// as the DOF vector is.
void GradientLayout::addNode(Segment* s, int parent, int firstDof) {
  Node node{};
  node.segment = s;
  node.parent = parent;
  node.firstDof = firstDof;
  node.ownDofs = s->joint->dofCount();
  node.pathStart = static_cast<int>(slotDofs.size());
  if (parent >= 0) {
    const Node& p = nodes[parent];
    for (int k = 0; k < p.pathCount; ++k) slotDofs.push_back(slotDofs[p.pathStart + k]);
  }
  for (int j = 0; j < node.ownDofs; ++j) slotDofs.push_back(firstDof + j);
  node.pathCount = static_cast<int>(slotDofs.size()) - node.pathStart;
  classifyJoint(node, *s->joint);
  maxOwnDofs = std::max(maxOwnDofs, node.ownDofs);

  const int index = static_cast<int>(nodes.size());
  nodes.push_back(node);
  int dof = firstDof + node.ownDofs;
  for (int i = 0; i < s->childCount(); ++i) {
    const int before = static_cast<int>(nodes.size());
    addNode(s->child(i), index, dof);
    for (int k = before; k < static_cast<int>(nodes.size()); ++k) dof += nodes[k].ownDofs;
  }
}

void GradientLayout::classifyJoint(Node& node, const Transform& joint) {
  node.form = Form::Plain;
  node.ball = dynamic_cast<const QuatRotation*>(&joint);
  node.chain = dynamic_cast<const TransformChain*>(&joint);
  if (node.ball) node.form = Form::Ball;
  if (!node.chain) return;
  node.form = Form::Chain;
  node.firstElement = static_cast<int>(elements.size());
  node.elementCount = node.chain->childCount();
  for (int e = 0; e < node.elementCount; ++e) {
    const Transform& t = node.chain->child(e);
    elements.push_back({&t, dynamic_cast<const QuatRotation*>(&t), t.dofCount()});
  }
  maxElements = std::max(maxElements, node.elementCount);
}
