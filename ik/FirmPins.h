#pragma once

#include <vector>

#include "ik/HandleJacobian.h"

class Figure;
class Segment;
struct Handle;

// Pins that do not give way: a pass that holds every handle other than the
// dragged one on its target, and moves the dragged one towards its target
// only as far as the others and the joint limits let it. It runs after a
// drag event's solve (which keeps its printed lines) and prints nothing.
//
// The solve's weighted gradient cannot do this: with the target out of
// reach, its least-squares optimum pulls the pins. Here the pins are
// constraints: each iteration is a damped least-squares step that brings
// them back, plus the dragged handle's step projected onto what keeps them,
// shortened when it would still move them. Hinges that reach a limit are
// held there for the rest of the pass. The number of iterations is fixed
// (the pass ends early only when nothing is left to do), so the numbers are
// the same on every machine.
class FirmPins {
 public:
  // Iterations that move the dragged handle and the pins together, then at
  // most this many more that only settle the pins.
  static constexpr int kDragIterations = 16;
  static constexpr int kSettleIterations = 8;
  // Pins this close to their targets (metres) need nothing more.
  static constexpr double kSettled = 1e-5;
  // Pins this close count as held: a pass that ends further away goes back
  // to the last pose of its own that held them.
  static constexpr double kHeld = 1e-4;

  struct Result {
    int iterations = 0;
    double worstPin = 0.0;  // the largest distance of a pin from its target, at the end
  };

  // The pass alone, from the figure's current pose; dragged may be null
  // (pins only). The DOFs flagged in `fixed` (one flag per DOF, or none)
  // keep their values (a ball joint's to rounding: it is normalised again). Every handle's worldPos is left at the final pose.
  static Result hold(Figure& figure, const Handle* dragged, const std::vector<unsigned char>& fixed = {});

  // A whole drag event: the figure's own solve, with its printed lines, then
  // the pass from the pose before the solve, where the pins were held. From
  // the solve's pose the pass would have to pull back pins dragged far (out
  // of reach, by most of a metre), and the body would jump from one way of
  // holding them to another between events.
  static Result solve(Figure& figure, const Handle* dragged);
  // The same after a solve made elsewhere (Figure::solveDrag, say): `before`
  // is what figure.dofs() gave before it.
  static Result afterSolve(Figure& figure, const Handle* dragged, const std::vector<double>& before);

 private:
  struct Pin {
    const Segment* segment;
    const Handle* handle;
  };

  FirmPins(Figure& figure, const Handle* dragged, const std::vector<unsigned char>& fixed);
  Result run();
  // One iteration from the pose x, whose farthest pin is `worst` away; false
  // when there is nothing more to do, or no finite step.
  bool iterate(bool dragging, double worst);
  double worstPin() const;
  // Jacobians and errors at the current pose, x its DOFs.
  void measure(bool dragging);
  // The pins' step, plus the dragged handle's when dragging; false when
  // the systems are not finite.
  bool plan(bool dragging, std::vector<double>& pinStep, std::vector<double>& dragStep);
  // Zeroes the columns of the hinges held at a limit.
  void holdLocked();
  // Sets x + pinStep + dragStep, shortening dragStep while it moves the pins
  // further than before; false when a hinge stopped at a limit (then the
  // pose is x again and the hinge held).
  bool apply(const std::vector<double>& pinStep, std::vector<double> dragStep, double worst);
  bool setAndCheckLimits(const std::vector<double>& values);
  void keepQuaternionsUnit(std::vector<double>& step) const;

  Figure& figure;
  const Handle* dragged;
  const Segment* draggedSegment = nullptr;
  std::vector<Pin> pins;
  HandleJacobian jacobian;
  int n;                              // DOFs
  int rows;                           // three per pin
  std::vector<unsigned char> hinge;   // per DOF: a hinge's angle, which a limit may hold
  std::vector<int> quaternions;       // the first DOF of every ball joint
  std::vector<unsigned char> locked;  // per DOF: held where it is
  std::vector<double> weights;        // square roots of the dragged handle's weights
  std::vector<double> x, Jp, Jd, ep, ed;
};
