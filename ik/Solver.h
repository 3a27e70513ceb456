#pragma once

// Constants and pieces of the drag solver that callers and tests share.
namespace solver {

constexpr double kStep = 0.032;
constexpr double kStepTest = 0.016;
constexpr int kIterationCap = 100;
constexpr int kQuietIterations = 90;  // iterations beyond this print "brem"
constexpr double kDraggedFactor = 3.0;
// A solve whose handles' squared error grows beyond this many times its
// start (their distances a thousandfold) is running away: no solve that
// converges, or only oscillates within the body's reach, gets near it.
constexpr double kDivergentGrowth = 1e6;
constexpr double kAngularDivisor = 0.1592356687898089;  // 1 / 6.28

// A hinge's gradient component, folded by whole turns and scaled.
float scaleAngular(float g);

// True while the next step, kStep * norm, would be longer than the tolerance.
inline bool keepGoing(float norm, double tolerance) { return 2 * norm * kStepTest > tolerance; }

}  // namespace solver

struct SolveResult {
  int iterations = 0;  // taken: steps undone are not counted
  float norm = 0.0f;   // of the last gradient, which is never applied
};
