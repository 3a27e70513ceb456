#pragma once

// What a pose may hold, whoever makes it: the solver keeps every joint
// parameter within this, and the pose text reads nothing beyond it.
namespace pose_limits {

// The largest magnitude of any number of a pose, 10 to the power kValueOrder.
constexpr double kValue = 1e6;
constexpr long kValueOrder = 6;

constexpr double powerOfTen(long order) { return order == 0 ? 1.0 : 10.0 * powerOfTen(order - 1); }
static_assert(kValue == powerOfTen(kValueOrder));

}  // namespace pose_limits
