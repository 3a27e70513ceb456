#pragma once

// One of the solver's settings as a key sets it: tolerance 0.01, 0.001 or
// 0.0001, the joint limits on or off, limb-local or uniform weights.
enum class SolverSetting {
  Tolerance2,
  Tolerance3,
  Tolerance4,
  LimitsOn,
  LimitsOff,
  LimbWeights,
  UniformWeights,
};
