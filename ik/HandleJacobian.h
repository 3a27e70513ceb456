#pragma once

#include <array>
#include <unordered_map>
#include <vector>

#include "math/Vec3.h"

class Figure;
class Segment;

// The exact derivatives of segment-local points' world positions in every
// DOF, taken in double from the joints' matrices and derivatives: what a
// pass that steps several handles' positions at once needs, where the
// gradient pass gives only one weighted sum.
//
// It holds pointers into the tree, which never changes once the figure is
// built; update() reads the joints' current state.
class HandleJacobian {
 public:
  using Matrix = std::array<double, 16>;  // row-major, as Mat4

  explicit HandleJacobian(const Figure& figure);

  // Reads every joint's matrix and derivatives as the figure stands now.
  void update();

  // d(world position)/d(DOF) of the point `local` on segment s: three rows
  // of dofCount() values (x, then y, then z), written to out; zero for the
  // DOFs that do not move it.
  void rows(const Segment* s, const Vec3& local, double* out) const;

  int dofCount() const { return dofs; }

 private:
  struct Node {
    const Segment* segment;
    int parent;    // node index, -1 at the root
    int firstDof;  // of the joint's own parameters
    int ownDofs;
  };

  std::vector<Node> nodes;  // pre-order, the DOF vector's order
  std::unordered_map<const Segment*, int> nodeOf;
  std::vector<Matrix> base;           // parent's world times the attachment, per node
  std::vector<Matrix> attachedJoint;  // attachment times joint: the node in its parent's frame
  std::vector<Matrix> derivatives;    // of each joint's matrix, one per DOF
  int dofs = 0;
};
