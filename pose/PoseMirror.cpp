#include "pose/Pose.h"

#include <algorithm>
#include <string>

#include "figure/ParamKinds.h"

namespace {

bool endsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The name of the segment on the other side, or the name itself.
std::string partnerName(const std::string& name) {
  if (endsWith(name, "_left")) return name.substr(0, name.size() - 5) + "_right";
  if (endsWith(name, "_right")) return name.substr(0, name.size() - 6) + "_left";
  return name;
}

// Reflection in z = 0 conjugates each joint's matrix by diag(1, 1, -1): a
// translation's z and the angles about x and y change sign, a quaternion's
// axis turns from (x, y, z) to (-x, -y, z).
double reflect(ParamKind kind, double v) {
  switch (kind) {
    case ParamKind::TranslationZ:
    case ParamKind::AngleX:
    case ParamKind::AngleY:
    case ParamKind::QuatX:
    case ParamKind::QuatY:
      return -v;
    default:
      return v;
  }
}

Vec3 reflect(const Vec3& p) { return Vec3(p.x, p.y, -p.z); }

}  // namespace

MirrorResult mirrorPose(const Figure& figure, const Pose& pose) {
  const std::vector<Segment*> all = figure.segments();
  // Each segment's partner by position; a segment without one is its own.
  std::vector<size_t> partner(all.size());
  for (size_t i = 0; i < all.size(); ++i) {
    const std::string other = partnerName(all[i]->name);
    const auto it = std::find_if(all.begin(), all.end(), [&](const Segment* s) { return other == s->name; });
    partner[i] = it == all.end() ? i : static_cast<size_t>(it - all.begin());
  }

  MirrorResult result;
  result.pose.params.resize(all.size());
  for (size_t i = 0; i < all.size(); ++i) {
    const std::vector<ParamKind> kinds = paramKinds(*all[i]->joint);
    if (kinds != paramKinds(*all[partner[i]]->joint)) {
      result.error = std::string("cannot mirror: the joints of ") + all[i]->name + " and " + all[partner[i]]->name +
                     " differ";
      return result;
    }
    std::vector<double>& to = result.pose.params[partner[i]];
    to = pose.params[i];
    for (size_t k = 0; k < to.size(); ++k) to[k] = reflect(kinds[k], to[k]);
  }
  for (const Pose::Pin& pin : pose.pins) {
    const size_t i = static_cast<size_t>(std::find(all.begin(), all.end(), pin.segment) - all.begin());
    result.pose.pins.push_back({all[partner[i]], reflect(pin.localPos), reflect(pin.targetPos)});
  }
  return result;
}

const Segment* mirrorSegment(const Figure& figure, const Segment* segment) {
  const Segment* other = figure.findSegment(partnerName(segment->name).c_str());
  return other ? other : segment;
}

Vec3 mirrorLocal(const Vec3& point) { return reflect(point); }

Vec3 mirrorWorld(const Figure& figure, const Vec3& point) {
  const Mat4 root = Figure::frame(Mat4(), *figure.root);
  const Vec3 origin = transformPoint(root, Vec3());
  Vec3 normal = transformPoint(root, figure.left) - origin;
  normal = normal * (1.0 / length(normal));
  return point - normal * (2.0 * dot(point - origin, normal));
}
