#pragma once

#include <vector>

class AxisRotation;
class Figure;
class QuatRotation;
class Segment;
class Transform;

// What the gradient pass takes from the segment tree alone: the nodes in
// pre-order, the DOFs on each node's path from the root, and the elements of
// each joint.
//
// It holds pointers into the tree, so it stays valid only while the tree and
// its joints do: a figure's segments and joints are fixed once it is built
// (their parameters change, the objects do not).
class GradientLayout {
 public:
  // One factor of a joint's matrix: a chain's element, or the whole joint
  // when it is not a chain (a chain of one element has the same derivatives).
  // The kinds with a faster way to their derivatives are noted.
  struct Element {
    const Transform* transform;
    const QuatRotation* ball;   // the element, when it is a ball joint
    const AxisRotation* hinge;  // the element, when it is a hinge
    int dofCount;
  };

  struct Node {
    Segment* segment;
    int parent;     // node index, -1 at the root
    int ownDofs;    // the joint's DOF count
    int pathStart;  // first slot: one per DOF on the path, ancestors' first
    int pathCount;
    int firstElement, elementCount;  // of the joint, in elements
    // Every element is of the program's own kinds: its matrix is affine and
    // its derivatives have a zero bottom row, so products need not look.
    bool builtInKinds;
  };

  explicit GradientLayout(const Figure& figure);

  // The node's slots that its parent has too: the first pathCount - ownDofs.
  static int inheritedSlots(const Node& n) { return n.pathCount - n.ownDofs; }

  std::vector<Node> nodes;        // pre-order
  std::vector<int> slotDofs;      // the DOF of every slot
  std::vector<Element> elements;  // of every joint, node after node
  int maxOwnDofs = 0;             // of any joint

 private:
  int addNode(Segment* s, int parent, int firstDof);
  void addElements(Node& node, const Transform& joint);
};
