#pragma once

#include <vector>

#include "ik/DerivativeColumns.h"

class Figure;
class Segment;
class QuatRotation;
class TransformChain;
struct Handle;

// One evaluation of the handles' world positions and of the weighted
// Jacobian-transpose gradient over all DOFs, in a single walk of the tree.
//
// The numbers are those of the plain algorithm (a world chain rebuilt per
// segment, a full array of derivative matrices copied per child and per
// handle): every product is formed in the same order and rounded to float at
// the same points. What differs is the work: derivatives are kept only for
// the DOFs on a segment's path from the root, only in branches that carry
// handles and only where some handle below gives the DOF a non-zero weight;
// matrices known to be zero are neither multiplied nor copied, and all
// storage is laid out once, so an iteration allocates nothing.
class GradientPass {
 public:
  explicit GradientPass(const Figure& figure);

  // Takes note of which segments carry handles and which derivatives they
  // use; call whenever the handles or the weights change.
  void prepare(const Figure& figure);

  // Writes every handle's worldPos and adds the gradient of
  // 1/2 sum f |x - target|^2 (f = 3 for the dragged handle) to g.
  void evaluate(Figure& figure, const Handle* dragged, float* g);

  // Whether passes run their AVX2 build, which the processor decides unless a
  // caller turns it off; returns whether it is in use. Both builds give the
  // same numbers: they differ only in how many elements an instruction takes.
  static bool useWideInstructions(bool wanted);

 private:
  struct Node {
    Segment* segment;
    int parent;    // node index, -1 for the root
    int firstDof;  // of the segment's own joint
    int ownDofs;
    int pathStart;                    // first of this node's derivative slots
    int pathCount;                    // ancestors' DOFs then its own
    int carriedStart, carriedCount;   // slots to carry over from the parent
    bool carries;                     // the subtree holds a handle
    Mat4 attach;                      // the attachment translation
    const QuatRotation* ball;         // the joint, when it is a ball joint
    const TransformChain* pair;       // the joint, when it is a chain of two
    const QuatRotation* pairBall[2];  // those of its two elements that are ball joints
    bool sameWorlds;                  // both world matrices came out equal
  };

  void evaluatePortable(Figure& figure, const Handle* dragged, float* g);
  void evaluateWide(Figure& figure, const Handle* dragged, float* g);
  void evaluateBody(Figure& figure, const Handle* dragged, float* g);
  struct OwnFactor;
  void ownPairDerivatives(const Node& n, const OwnFactor& PT, columns::Columns* D, const unsigned char* need,
                          unsigned char* alive);

  std::vector<Node> nodes;                    // pre-order
  std::vector<int> pathDofs;                  // DOF index of every derivative slot
  std::vector<columns::Columns> derivatives;  // d world / d DOF, per slot
  std::vector<unsigned char> live;            // slot holds a non-zero matrix
  std::vector<unsigned char> needed;          // some handle below weighs the slot's DOF
  std::vector<int> carried;                   // per node, from carriedStart: the parent's needed slots
  std::vector<Mat4> chainWorld;               // world matrix as the chain of products builds it
  std::vector<Mat4> forwardWorld;             // world matrix as the forward pass builds it
  std::vector<int> recordOrder;               // handles' nodes, newest record first
  std::vector<Handle*> recordHandles;
  Mat4 ballScratch[4];
  Mat4 pairScratch[2][4];
};
