#pragma once

#include <vector>

#include "figure/Transform.h"

// What each parameter of a joint means, as far as the kinds of this program
// say: a translation's coordinate, a hinge's angle about an axis, or a
// quaternion's component. Parameters of other kinds are Other.
enum class ParamKind {
  TranslationX,
  TranslationY,
  TranslationZ,
  AngleX,
  AngleY,
  AngleZ,
  AngleAboutNoAxis,
  QuatX,
  QuatY,
  QuatZ,
  QuatW,
  Other,
};

// One kind per parameter, in the joint's parameter order.
std::vector<ParamKind> paramKinds(const Transform& joint);
