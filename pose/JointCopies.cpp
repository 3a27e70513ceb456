#include "pose/JointCopies.h"

#include <algorithm>

JointCopies::JointCopies(const Figure& figure) {
  const std::vector<Segment*> all = figure.segments();
  segments.assign(all.begin(), all.end());
  for (const Segment* s : all) {
    joints.push_back(s->joint->clone());
    const auto parent = std::find(all.begin(), all.end(), s->parent);
    parents.push_back(s->parent ? static_cast<int>(parent - all.begin()) : -1);
    attachments.push_back(s->attachment());
  }
}

void JointCopies::restore(const FigureState& state) {
  const double* in = state.joints.data();
  for (const std::unique_ptr<Transform>& joint : joints) in = joint->restoreState(in);
}

// As Figure::setDofs: the switch reaches only each segment's own joint.
void JointCopies::setHeld(const std::vector<std::vector<double>>& params, bool limits) {
  for (std::size_t i = 0; i < joints.size(); ++i) {
    joints[i]->limitsEnabled = limits ? 1.0 : 0.0;
    joints[i]->setHeldParams(params[i].data());
  }
}

std::vector<std::vector<double>> JointCopies::params() const {
  std::vector<std::vector<double>> all;
  for (const std::unique_ptr<Transform>& joint : joints) {
    std::vector<double>& values = all.emplace_back(joint->dofCount());
    joint->getParams(values.data());
  }
  return all;
}

// Pre-order puts every parent before its children; the product is the figure's own frame rule.
std::vector<Mat4> JointCopies::frames() const {
  std::vector<Mat4> world(joints.size());
  for (std::size_t i = 0; i < joints.size(); ++i) {
    const Mat4 parent = parents[i] < 0 ? Mat4() : world[parents[i]];
    world[i] = parent * (translationMatrix(attachments[i]) * *joints[i]->matrix());
  }
  return world;
}

int JointCopies::positionOf(const Segment* segment) const {
  const auto it = std::find(segments.begin(), segments.end(), segment);
  return it == segments.end() ? -1 : static_cast<int>(it - segments.begin());
}
