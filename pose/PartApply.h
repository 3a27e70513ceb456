#pragma once

#include <string>

#include "pose/BodyPart.h"
#include "pose/FigureState.h"
#include "pose/Pose.h"

// How another pose is applied: to which part of the body, mirrored or not,
// and how much of it, from 0 (nothing) to 1 (its values exactly).
struct ApplyChoice {
  BodyPart part = BodyPart::Whole;
  bool mirrored = false;
  double amount = 1.0;
};

namespace part_apply {

// The amount as a choice may hold it: from 0 to 1, a number.
bool amountAllowed(double amount);

// The pose the figure gets when other is applied over base as chosen, with
// base's handles, each target moved as far as the apply moves its point.
// The part's joints go from base's values towards other's (mirrored as a
// mirrored paste mirrors and clamps them): quaternions by the shorter slerp,
// everything else linearly; at 1 they are other's, copied. The whole body
// also takes the root's rotation and height, and keeps its x and z. Error
// empty when it could be made; the figure is only read.
struct Applying {
  Pose pose;
  std::string error;
};
Applying apply(const Figure& figure, const FigureState& base, const Pose& other, const ApplyChoice& choice);

}  // namespace part_apply
