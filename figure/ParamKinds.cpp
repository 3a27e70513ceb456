#include "figure/ParamKinds.h"

namespace {

void appendKinds(const Transform& joint, std::vector<ParamKind>& kinds) {
  if (dynamic_cast<const Translation*>(&joint)) {
    kinds.insert(kinds.end(), {ParamKind::TranslationX, ParamKind::TranslationY, ParamKind::TranslationZ});
  } else if (const auto* hinge = dynamic_cast<const AxisRotation*>(&joint)) {
    const ParamKind axes[] = {ParamKind::AngleX, ParamKind::AngleY, ParamKind::AngleZ};
    kinds.push_back(hinge->axis >= 0 && hinge->axis < 3 ? axes[hinge->axis] : ParamKind::AngleAboutNoAxis);
  } else if (dynamic_cast<const QuatRotation*>(&joint)) {
    kinds.insert(kinds.end(), {ParamKind::QuatX, ParamKind::QuatY, ParamKind::QuatZ, ParamKind::QuatW});
  } else if (const auto* chain = dynamic_cast<const TransformChain*>(&joint)) {
    for (int i = 0; i < chain->childCount(); ++i) appendKinds(chain->child(i), kinds);
  } else {
    kinds.insert(kinds.end(), joint.dofCount(), ParamKind::Other);
  }
}

}  // namespace

std::vector<ParamKind> paramKinds(const Transform& joint) {
  std::vector<ParamKind> kinds;
  appendKinds(joint, kinds);
  return kinds;
}
