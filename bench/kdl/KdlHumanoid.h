#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "figure/Figure.h"
#include "figure/Segment.h"
#include "math/Vec3.h"

namespace KDL {
class Tree;
}

// The humanoid rebuilt as an Orocos KDL tree, so that the benchmark can time
// KDL doing one solver iteration's work: handle positions, handle Jacobians
// and the gradient J^T e. Each handle is a fixed tip segment; its position
// comes from a chain solver on its own root-to-tip chain (faster than the
// tree's), its Jacobian from the tree solver (faster than the chain's, whose
// cost grows with the square of the chain length).
//
// Joints: a free translation becomes TransX, TransY, TransZ; a ball joint
// becomes RotX, RotY, RotZ (its rotation as the angles of Rx Ry Rz); a hinge
// becomes one RotX/RotY/RotZ. A segment's endOffset is the frame of its last
// KDL segment, so that every child's joints act at the parent's end.
class KdlHumanoid {
 public:
  using HandlePoint = std::pair<const Segment*, Vec3>;  // segment and local point

  // Copies the figure's current pose; the figure is not referenced afterwards.
  KdlHumanoid(const Figure& figure, const std::vector<HandlePoint>& handles,
              const std::vector<Vec3>& targets);
  ~KdlHumanoid();
  KdlHumanoid(KdlHumanoid&&) noexcept;
  KdlHumanoid& operator=(KdlHumanoid&&) noexcept;
  KdlHumanoid(const KdlHumanoid&) = delete;
  KdlHumanoid& operator=(const KdlHumanoid&) = delete;

  // The figure's own handles, in insertion order, with their targets.
  static KdlHumanoid fromFigureHandles(const Figure& figure);

  // One iteration: every handle's position and Jacobian, then
  // gradient = sum over handles of w * J^T (position - target), w = 3 for
  // handle 0 (the dragged one) and 1 for the others. jointCount() entries.
  void iteration(std::vector<double>& gradient);

  // World positions of the handles at the current joint values.
  std::vector<Vec3> positions();
  // 0.5 * sum of w * |position - target|^2, in double.
  double objective();

  int jointCount() const;
  int handleCount() const;
  std::vector<double> jointPositions() const;
  void setJointPositions(const std::vector<double>& q);
  void setTargets(const std::vector<Vec3>& targets);

  // The KDL joint that a figure DOF drives, or -1 for a quaternion component
  // (ball joints have other coordinates in KDL).
  int jointOfDof(int figureDof) const;
  // The joints about x, y and z that stand for the ball joint whose
  // quaternion starts at firstDof; empty if no ball joint starts there.
  std::vector<int> jointsOfBall(int firstDof) const;

  const KDL::Tree& tree() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl;
};

// Seconds that one iteration() takes for the benchmark's set of n handles,
// timed with std::chrono over at least 0.2 s of repetitions.
double kdlSecondsPerIteration(int handles);
