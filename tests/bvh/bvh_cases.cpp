#include "bvh_cases.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "pose/BvhSkeleton.h"

namespace bvh_cases {

namespace {

void drawParams(const Transform& t, std::mt19937& rng, std::vector<double>& out) {
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  if (const auto* chain = dynamic_cast<const TransformChain*>(&t)) {
    for (int i = 0; i < chain->childCount(); ++i) drawParams(chain->child(i), rng, out);
  } else if (const auto* hinge = dynamic_cast<const AxisRotation*>(&t)) {
    out.push_back(std::uniform_real_distribution<double>(hinge->lower, hinge->upper)(rng));
  } else if (dynamic_cast<const QuatRotation*>(&t)) {
    double q[4], n = 0;
    do {
      n = 0;
      for (double& v : q) {
        v = unit(rng);
        n += v * v;
      }
    } while (n > 1 || n < 1e-3);
    for (double v : q) out.push_back(v / std::sqrt(n));
  } else {
    for (int k = 0; k < t.dofCount(); ++k) out.push_back(unit(rng));
  }
}

void appendNumber(std::string& out, double v) {
  char buffer[64];
  out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
}

void appendPoint(std::string& out, const Vec3& p) {
  out += "[";
  appendNumber(out, p.x);
  out += ", ";
  appendNumber(out, p.y);
  out += ", ";
  appendNumber(out, p.z);
  out += "]";
}

void collectFrames(const Segment* s, const Mat4& parentWorld, std::vector<Mat4>& out) {
  out.push_back(Figure::frame(parentWorld, *s));
  const Mat4 world = out.back();
  for (int i = 0; i < s->childCount(); ++i) collectFrames(s->child(i), world, out);
}

}  // namespace

const char* const kRigJoints[18][3] = {
    {"Hips", "mixamorig:Hips", "root"},
    {"LeftUpLeg", "mixamorig:LeftUpLeg", "h_thigh_left"},
    {"LeftLeg", "mixamorig:LeftLeg", "h_shin_left"},
    {"LeftFoot", "mixamorig:LeftFoot", "h_foot_left"},
    {"RightUpLeg", "mixamorig:RightUpLeg", "h_thigh_right"},
    {"RightLeg", "mixamorig:RightLeg", "h_shin_right"},
    {"RightFoot", "mixamorig:RightFoot", "h_foot_right"},
    {"LowerBack", "mixamorig:Spine", "h_abdomen"},
    {"Spine1", "mixamorig:Spine2", "h_spine"},
    {"Neck", "mixamorig:Neck", "h_head"},
    {"LeftShoulder", "mixamorig:LeftShoulder", "h_scapula_left"},
    {"LeftArm", "mixamorig:LeftArm", "h_bicep_left"},
    {"LeftForeArm", "mixamorig:LeftForeArm", "h_forearm_left"},
    {"LeftHand", "mixamorig:LeftHand", "h_hand_left"},
    {"RightShoulder", "mixamorig:RightShoulder", "h_scapula_right"},
    {"RightArm", "mixamorig:RightArm", "h_bicep_right"},
    {"RightForeArm", "mixamorig:RightForeArm", "h_forearm_right"},
    {"RightHand", "mixamorig:RightHand", "h_hand_right"},
};

void poseAtRandom(Figure& figure, std::mt19937& rng) {
  std::vector<double> dofs;
  for (const Segment* s : figure.segments()) drawParams(*s->joint, rng, dofs);
  figure.setDofs(dofs);
}

std::string expectedPositions(const Figure& figure) {
  std::vector<Mat4> frames;  // in pre-order, as the joints number their segments
  collectFrames(figure.root.get(), Mat4(), frames);
  std::string out = "{\"joints\": [\n";
  const bvh::Skeleton skeleton = bvh::skeletonOf(figure);
  for (const bvh::Joint& joint : skeleton.joints) {
    const Mat4& world = frames[joint.segmentIndex];
    out += std::string("  {\"name\": \"") + joint.segment->name + "\", \"origin\": ";
    appendPoint(out, Vec3(world[3], world[7], world[11]));
    out += ", \"end\": ";
    if (joint.leaf) {
      appendPoint(out, transformPoint(world, joint.segment->endOffset));
    } else {
      out += "null";
    }
    out += &joint == &skeleton.joints.back() ? "}\n" : "},\n";
  }
  return out + "]}\n";
}

}  // namespace bvh_cases
