#pragma once

#include <vector>

class Figure;
class QuatRotation;
class Segment;
class Transform;
class TransformChain;

// What the gradient pass takes from the segment tree alone: the nodes in
// pre-order, the DOFs on each node's path from the root, and how each joint's
// own derivatives are made.
//
// It holds pointers into the tree, so it stays valid only while the tree and
// its joints do: a figure's segments and joints are fixed once it is built
// (their parameters change, the objects do not).
class GradientLayout {
 public:
  // How a joint's own derivatives are made. Each way gives the numbers of the
  // joint's derivative(k); the faster ones share work between parameters.
  enum class Form {
    Plain,  // derivative(k) one parameter at a time
    Ball,   // a quaternion joint: all four at once
    Chain,  // a chain: its elements' derivatives between shared products
  };

  // One element of a chain joint.
  struct Element {
    const Transform* transform;
    const QuatRotation* ball;  // the element itself when it is a ball joint
    int dofCount;
  };

  struct Node {
    Segment* segment;
    int parent;     // node index, -1 at the root
    int firstDof;   // of the segment's own joint
    int ownDofs;    // the joint's DOF count
    int pathStart;  // first slot: one per DOF on the path, ancestors' first
    int pathCount;
    Form form;
    const QuatRotation* ball;     // Form::Ball
    const TransformChain* chain;  // Form::Chain
    int firstElement, elementCount;
  };

  explicit GradientLayout(const Figure& figure);

  // The node's slots that its parent has too: the first pathCount - ownDofs.
  static int inheritedSlots(const Node& n) { return n.pathCount - n.ownDofs; }

  std::vector<Node> nodes;        // pre-order
  std::vector<int> slotDofs;      // the DOF of every slot
  std::vector<Element> elements;  // of every chain joint, node after node
  int maxOwnDofs = 0;             // of any joint
  int maxElements = 0;            // of any chain

 private:
  void addNode(Segment* s, int parent, int firstDof);
  void classifyJoint(Node& node, const Transform& joint);
};
