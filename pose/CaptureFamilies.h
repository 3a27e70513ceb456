#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

// The skeletons that motion captures come in, as data: which joint of each
// family stands where on the body. A skeleton's family is told from the
// whole set of its joint names, compared without regard to case, so that a
// name means what its family says (LeftShoulder is a collarbone in one and an
// upper arm in another).
namespace capture {

// Where a joint stands: the start of the limb each names. The toes, the
// hands' ends and the head's top may be missing: the first point below the
// joint before stands in for them.
enum Role {
  kPelvis,
  kNeck,
  kHead,
  kLeftThigh,
  kLeftShin,
  kLeftFoot,
  kLeftToes,
  kLeftUpperArm,
  kLeftForearm,
  kLeftHand,
  kLeftFingers,
  kRightThigh,
  kRightShin,
  kRightFoot,
  kRightToes,
  kRightUpperArm,
  kRightForearm,
  kRightHand,
  kRightFingers,
  kHeadTop,
  kRoleCount
};

// Whether a skeleton must have the role's joint.
bool required(Role role);
// The role as a refusal names it: "left thigh".
const char* roleName(Role role);

struct Family {
  const char* name;
  std::vector<const char*> prefixes;  // what may come before every name
  std::array<const char*, kRoleCount> joints;  // by role; null where the family has none
  std::vector<const char*> others;  // further names of the family's, which tell it from others
};

const std::vector<Family>& families();

// The family whose names the skeleton's fit best, with every required role;
// joints[role] is the index in names of the role's joint, or -1.
struct Recognition {
  const Family* family = nullptr;
  std::array<int, kRoleCount> joints{};
  std::string error;  // one line naming the first role that no family finds
};
Recognition recognise(const std::vector<std::string>& names);

}  // namespace capture
