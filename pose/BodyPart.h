#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "figure/Figure.h"

// The parts of the body a pose can be applied to, each a set of segments
// named as the humanoid names them.
enum class BodyPart { Whole, Head, Trunk, LeftArm, RightArm, Arms, LeftLeg, RightLeg, Legs };

namespace body_part {

// Every part, in the order the window and the usage text give them.
const std::vector<BodyPart>& all();
// "whole", "head", "trunk", "left-arm", ... as the command line takes them.
std::string_view nameOf(BodyPart part);
// The part of that name, or none.
std::optional<BodyPart> named(std::string_view name);
// "whole, head, ..., legs", for a refusal or the usage text.
std::string namesListed();

// Which of the figure's segments, by pre-order position, the part holds:
// every one for the whole body, else those of its segment names that the
// figure has.
std::vector<bool> segmentsIn(const Figure& figure, BodyPart part);

}  // namespace body_part
