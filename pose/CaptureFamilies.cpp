#include "pose/CaptureFamilies.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace capture {

namespace {

// By role, in the order of Role.
const char* const kRoleNames[kRoleCount] = {
    "hips",           "neck",          "head",          "left thigh",    "left shin",
    "left foot",      "left toes",     "left upper arm", "left forearm", "left hand",
    "left fingers",   "right thigh",   "right shin",    "right foot",    "right toes",
    "right upper arm", "right forearm", "right hand",   "right fingers", "head's top"};

// The table. Each row: pelvis, neck, head, then the left side's thigh, shin,
// foot, toes, upper arm, forearm, hand, fingers, the right side's, and the
// head's top.
const std::vector<Family> kFamilies = {
    {"CMU (MotionBuilder-friendly)",
     {},
     {"Hips", "Neck", "Head", "LeftUpLeg", "LeftLeg", "LeftFoot", "LeftToeBase", "LeftArm", "LeftForeArm",
      "LeftHand", "LFingers", "RightUpLeg", "RightLeg", "RightFoot", "RightToeBase", "RightArm", "RightForeArm",
      "RightHand", "RFingers", nullptr},
     {"LHipJoint", "RHipJoint", "LowerBack", "Spine", "Spine1", "Neck1", "LeftShoulder", "RightShoulder",
      "LeftFingerBase", "RightFingerBase", "LThumb", "RThumb"}},
    {"CMU (Daz/Poser-friendly)",
     {},
     {"hip", "neck", "head", "lThigh", "lShin", "lFoot", nullptr, "lShldr", "lForeArm", "lHand", nullptr,
      "rThigh", "rShin", "rFoot", nullptr, "rShldr", "rForeArm", "rHand", nullptr, nullptr},
     {"abdomen", "chest", "lCollar", "rCollar", "lButtock", "rButtock"}},
    {"MotionBuilder",
     {},
     {"Hips", "Neck", "Head", "LeftHip", "LeftKnee", "LeftAnkle", "LeftToes", "LeftShoulder", "LeftElbow",
      "LeftWrist", nullptr, "RightHip", "RightKnee", "RightAnkle", "RightToes", "RightShoulder", "RightElbow",
      "RightWrist", nullptr, nullptr},
     {"Ab", "Chest", "LeftCollar", "RightCollar"}},
    {"Mixamo",
     {"mixamorig:", "mixamorig1:"},
     {"Hips", "Neck", "Head", "LeftUpLeg", "LeftLeg", "LeftFoot", "LeftToeBase", "LeftArm", "LeftForeArm",
      "LeftHand", "LeftHandMiddle1", "RightUpLeg", "RightLeg", "RightFoot", "RightToeBase", "RightArm",
      "RightForeArm", "RightHand", "RightHandMiddle1", "HeadTop_End"},
     {"Spine", "Spine1", "Spine2", "LeftShoulder", "RightShoulder"}},
};

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The name as the family would write it bare, in lower case; empty when it
// has a prefix the family does not write.
std::string bare(const Family& family, const std::string& name) {
  const std::string low = lower(name);
  for (const char* prefix : family.prefixes) {
    const std::string p = lower(prefix);
    if (low.compare(0, p.size(), p) == 0) return low.substr(p.size());
  }
  return low;
}

// The role's names in every family, as a refusal lists them.
std::string alternatives(Role role) {
  std::vector<std::string> seen;
  for (const Family& f : kFamilies) {
    if (!f.joints[role]) continue;
    const std::string name = (f.prefixes.empty() ? "" : f.prefixes.front()) + std::string(f.joints[role]);
    if (std::find(seen.begin(), seen.end(), name) == seen.end()) seen.push_back(name);
  }
  std::string out;
  for (size_t i = 0; i < seen.size(); ++i) {
    out += (i == 0 ? "" : i + 1 == seen.size() ? " or " : ", ") + seen[i];
  }
  return out;
}

}  // namespace

bool required(Role role) {
  return role != kLeftToes && role != kRightToes && role != kLeftFingers && role != kRightFingers &&
         role != kHeadTop;
}

const char* roleName(Role role) { return kRoleNames[role]; }

const std::vector<Family>& families() { return kFamilies; }

Recognition recognise(const std::vector<std::string>& names) {
  Recognition best;
  int bestScore = -1;
  Role bestMissing = kPelvis;
  for (const Family& family : kFamilies) {
    std::map<std::string, int> index;
    for (size_t i = 0; i < names.size(); ++i) index.emplace(bare(family, names[i]), static_cast<int>(i));
    const auto find = [&](const char* name) {
      const auto it = index.find(lower(name));
      return it == index.end() ? -1 : it->second;
    };
    Recognition r;
    r.family = &family;
    int score = 0, missing = -1;
    for (int role = 0; role < kRoleCount; ++role) {
      r.joints[role] = family.joints[role] ? find(family.joints[role]) : -1;
      if (r.joints[role] >= 0) {
        ++score;
      } else if (required(static_cast<Role>(role)) && missing < 0) {
        missing = role;
      }
    }
    for (const char* other : family.others) score += find(other) >= 0;
    // A family with every required role beats one without; then the most names.
    if (missing < 0) score += 1000;
    if (score > bestScore) {
      bestScore = score;
      best = r;
      bestMissing = static_cast<Role>(missing < 0 ? 0 : missing);
      best.error = missing < 0 ? "" : "x";
    }
  }
  if (!best.error.empty()) {
    best.error = std::string("no ") + roleName(bestMissing) + " (" + alternatives(bestMissing) + ")";
    best.family = nullptr;
  }
  return best;
}

}  // namespace capture
