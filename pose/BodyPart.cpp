#include "pose/BodyPart.h"

#include <algorithm>
#include <cstring>

namespace {

struct PartEntry {
  BodyPart part;
  const char* name;
  std::vector<const char*> segments;
};

const std::vector<PartEntry>& table() {
  // An arm runs from its shoulder blade to its hand, a leg from its thigh to its foot.
  static const std::vector<const char*> leftArm{"h_scapula_left", "h_bicep_left", "h_forearm_left", "h_hand_left"};
  static const std::vector<const char*> rightArm{"h_scapula_right", "h_bicep_right", "h_forearm_right",
                                                 "h_hand_right"};
  static const std::vector<const char*> leftLeg{"h_thigh_left", "h_shin_left", "h_foot_left"};
  static const std::vector<const char*> rightLeg{"h_thigh_right", "h_shin_right", "h_foot_right"};
  auto both = [](std::vector<const char*> a, const std::vector<const char*>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  static const std::vector<PartEntry> entries{
      {BodyPart::Whole, "whole", {}},
      {BodyPart::Head, "head", {"h_head"}},
      {BodyPart::Trunk, "trunk", {"h_abdomen", "h_spine"}},
      {BodyPart::LeftArm, "left-arm", leftArm},
      {BodyPart::RightArm, "right-arm", rightArm},
      {BodyPart::Arms, "arms", both(leftArm, rightArm)},
      {BodyPart::LeftLeg, "left-leg", leftLeg},
      {BodyPart::RightLeg, "right-leg", rightLeg},
      {BodyPart::Legs, "legs", both(leftLeg, rightLeg)},
  };
  return entries;
}

const PartEntry& entryOf(BodyPart part) {
  return *std::find_if(table().begin(), table().end(), [part](const PartEntry& e) { return e.part == part; });
}

}  // namespace

namespace body_part {

const std::vector<BodyPart>& all() {
  static const std::vector<BodyPart> parts = [] {
    std::vector<BodyPart> list;
    for (const PartEntry& e : table()) list.push_back(e.part);
    return list;
  }();
  return parts;
}

std::string_view nameOf(BodyPart part) { return entryOf(part).name; }

std::optional<BodyPart> named(std::string_view name) {
  for (const PartEntry& e : table()) {
    if (name == e.name) return e.part;
  }
  return std::nullopt;
}

std::string namesListed() {
  std::string list;
  for (const PartEntry& e : table()) list += (list.empty() ? "" : ", ") + std::string(e.name);
  return list;
}

std::vector<bool> segmentsIn(const Figure& figure, BodyPart part) {
  const std::vector<Segment*> segments = figure.segments();
  const PartEntry& entry = entryOf(part);
  std::vector<bool> in(segments.size(), part == BodyPart::Whole);
  for (std::size_t i = 0; i < segments.size(); ++i) {
    for (const char* name : entry.segments) in[i] = in[i] || std::strcmp(segments[i]->name, name) == 0;
  }
  return in;
}

}  // namespace body_part
