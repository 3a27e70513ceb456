#include "pose/Pose.h"

Pose currentPose(const Figure& figure) {
  Pose pose;
  for (const Segment* s : figure.segments()) {
    std::vector<double>& values = pose.params.emplace_back(s->joint->dofCount());
    s->joint->getParams(values.data());
  }
  for (const HandleEntry& e : figure.handles) pose.pins.push_back({e.segment, e.handle->localPos, e.handle->targetPos});
  return pose;
}

std::vector<std::unique_ptr<Handle>> applyPose(Figure& figure, const Pose& pose) {
  std::vector<double> dofs;
  dofs.reserve(figure.dofCount);
  for (const std::vector<double>& values : pose.params) dofs.insert(dofs.end(), values.begin(), values.end());
  figure.setHeldDofs(dofs);

  while (!figure.handles.empty()) figure.removeHandle(figure.handles.front().handle);
  std::vector<std::unique_ptr<Handle>> records;
  records.reserve(pose.pins.size());
  for (const Pose::Pin& pin : pose.pins) {
    records.push_back(std::make_unique<Handle>(pin.localPos.x, pin.localPos.y, pin.localPos.z));
    records.back()->targetPos = pin.targetPos;
    figure.addHandle(records.back().get(), pin.segment);
  }
  figure.updateHandlePositions();
  return records;
}
