#pragma once

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "figure/Figure.h"
#include "figure/ParamKinds.h"

// What the BVH checks share: figures posed at random, their frames worked
// out from the figure itself, not from a file, and parameters compared as
// turns.
namespace bvh_cases {

inline void drawParams(const Transform& t, std::mt19937& rng, std::vector<double>& out) {
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

// Every parameter drawn afresh: hinges within their limits, translations
// within a metre, quaternions of unit length in any direction. The figure's
// limits switch is left as it was.
inline void poseAtRandom(Figure& figure, std::mt19937& rng) {
  std::vector<double> dofs;
  for (const Segment* s : figure.segments()) drawParams(*s->joint, rng, dofs);
  figure.setDofs(dofs);
}

// Each segment's frame in the world, in the order of figure.segments().
inline std::vector<Mat4> worldFrames(const Figure& figure) {
  std::vector<Mat4> frames;
  std::vector<std::pair<const Segment*, Mat4>> stack{{figure.root.get(), Mat4()}};
  while (!stack.empty()) {
    const auto [s, parent] = stack.back();
    stack.pop_back();
    frames.push_back(Figure::frame(parent, *s));
    for (int i = s->childCount() - 1; i >= 0; --i) stack.push_back({s->child(i), frames.back()});
  }
  return frames;
}

// Parameters as read, in a row, each quaternion given the sign of the
// figure's own: a quaternion and its negation are the same turn.
inline std::vector<double> paramsLike(const Figure& figure, const std::vector<std::vector<double>>& params) {
  std::vector<double> out;
  for (const std::vector<double>& p : params) out.insert(out.end(), p.begin(), p.end());
  const std::vector<double> held = figure.dofs();
  size_t k = 0;
  for (const Segment* s : figure.segments()) {
    for (const ParamKind kind : paramKinds(*s->joint)) {
      if (kind == ParamKind::QuatX && k + 4 <= std::min(out.size(), held.size()) &&
          std::inner_product(held.begin() + k, held.begin() + k + 4, out.begin() + k, 0.0) < 0) {
        std::transform(out.begin() + k, out.begin() + k + 4, out.begin() + k, std::negate<double>());
      }
      ++k;
    }
  }
  return out;
}

// Mixamo's names are CMU's behind its prefix, but for the spine's and the fingers'.
inline std::string mixamoName(const std::string& cmu) {
  const std::map<std::string, std::string> own = {{"LowerBack", "Spine"},
                                                  {"Spine", "Spine1"},
                                                  {"Spine1", "Spine2"},
                                                  {"LFingers", "LeftHandMiddle1"},
                                                  {"RFingers", "RightHandMiddle1"}};
  return "mixamorig:" + (own.count(cmu) ? own.at(cmu) : cmu);
}

// The rigs' joints that stand where the figure's own export puts a joint:
// CMU's (mixamoName gives Mixamo's) and the figure's segment.
inline const char* const kRigJoints[18][2] = {
    {"Hips", "root"},                  {"LeftUpLeg", "h_thigh_left"},      {"LeftLeg", "h_shin_left"},
    {"LeftFoot", "h_foot_left"},       {"RightUpLeg", "h_thigh_right"},    {"RightLeg", "h_shin_right"},
    {"RightFoot", "h_foot_right"},     {"LowerBack", "h_abdomen"},         {"Spine1", "h_spine"},
    {"Neck", "h_head"},                {"LeftShoulder", "h_scapula_left"}, {"LeftArm", "h_bicep_left"},
    {"LeftForeArm", "h_forearm_left"}, {"LeftHand", "h_hand_left"},        {"RightShoulder", "h_scapula_right"},
    {"RightArm", "h_bicep_right"},     {"RightForeArm", "h_forearm_right"}, {"RightHand", "h_hand_right"},
};

}  // namespace bvh_cases
