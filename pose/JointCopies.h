#pragma once

#include <memory>
#include <vector>

#include "figure/Figure.h"
#include "pose/FigureState.h"

// Copies of a figure's joints with the tree's shape, for working out a pose's
// values and where it puts each segment without touching the figure itself.
class JointCopies {
 public:
  explicit JointCopies(const Figure& figure);

  // The joints as the state holds them, exactly.
  void restore(const FigureState& state);
  // Sets the parameters (by the segments' pre-order position) as the figure
  // sets held ones, with its limits switch: hinges may clamp, quaternions
  // not of unit length are normalised.
  void setHeld(const std::vector<std::vector<double>>& params, bool limits);
  // Every joint's parameters, by pre-order position.
  std::vector<std::vector<double>> params() const;
  // Every segment's frame in the world, by pre-order position.
  std::vector<Mat4> frames() const;
  // The pre-order position of one of the figure's segments; -1 for none of them.
  int positionOf(const Segment* segment) const;

 private:
  std::vector<std::unique_ptr<Transform>> joints;
  std::vector<int> parents;  // -1 for the root
  std::vector<Vec3> attachments;
  std::vector<const Segment*> segments;
};
