#include "pose/PartApply.h"

#include <cmath>

#include "figure/ParamKinds.h"
#include "pose/JointCopies.h"

namespace {

using Params = std::vector<std::vector<double>>;

// One joint's values from from towards to by the amount, kind by kind.
// root: the root's, whose place on the floor (x and z) stays.
std::vector<double> blend(const std::vector<double>& from, const std::vector<double>& to,
                          const std::vector<ParamKind>& kinds, double amount, bool root) {
  std::vector<double> out = amount == 1.0 ? to : from;
  for (std::size_t k = 0; k < kinds.size(); ++k) {
    const bool kept = root && (kinds[k] == ParamKind::TranslationX || kinds[k] == ParamKind::TranslationZ);
    if (kept) {
      out[k] = from[k];
    } else if (amount == 1.0) {
      continue;
    } else if (kinds[k] == ParamKind::QuatX && k + 3 < kinds.size()) {
      const Quat q = slerp(Quat(from[k], from[k + 1], from[k + 2], from[k + 3]),
                           Quat(to[k], to[k + 1], to[k + 2], to[k + 3]), amount);
      out[k] = q.x, out[k + 1] = q.y, out[k + 2] = q.z, out[k + 3] = q.w;
      k += 3;
    } else {
      out[k] = from[k] + (to[k] - from[k]) * amount;
    }
  }
  return out;
}

// The handles of the state, each target moved by as much as its point moves
// from the old frames to the new: the solver then holds the new pose.
std::vector<Pose::Pin> followingPins(const FigureState& base, const JointCopies& copies,
                                     const std::vector<Mat4>& before, const std::vector<Mat4>& after) {
  std::vector<Pose::Pin> pins;
  for (const FigureState::Pin& pin : base.pins) {
    const Handle& record = base.records[pin.record];
    const int at = copies.positionOf(pin.segment);
    const Vec3 was = transformPoint(before[at], record.localPos);
    const Vec3 is = transformPoint(after[at], record.localPos);
    Vec3 target = record.targetPos;
    const bool moved = was.x != is.x || was.y != is.y || was.z != is.z;
    const bool onTarget = target.x == was.x && target.y == was.y && target.z == was.z;
    if (moved) target = onTarget ? is : target + (is - was);
    pins.push_back({pin.segment, record.localPos, target});
  }
  return pins;
}

}  // namespace

namespace part_apply {

bool amountAllowed(double amount) { return amount >= 0.0 && amount <= 1.0; }

Applying apply(const Figure& figure, const FigureState& base, const Pose& other, const ApplyChoice& choice) {
  Applying applying;
  if (!amountAllowed(choice.amount)) return {{}, "the amount goes from 0 to 1"};
  const std::vector<Segment*> segments = figure.segments();
  bool fits = other.params.size() == segments.size();
  for (std::size_t i = 0; fits && i < segments.size(); ++i) {
    fits = other.params[i].size() == static_cast<std::size_t>(segments[i]->joint->dofCount());
  }
  if (!fits) return {{}, "the pose is not of this figure"};
  JointCopies copies(figure);
  copies.restore(base);
  const Params from = copies.params();
  const std::vector<Mat4> before = copies.frames();

  // What a paste (mirrored, when chosen) would give each joint, clamps included.
  Pose wanted = other;
  if (choice.mirrored) {
    MirrorResult mirror = mirrorPose(figure, other);
    if (!mirror.error.empty()) return {{}, mirror.error};
    wanted = std::move(mirror.pose);
  }
  copies.setHeld(wanted.params, figure.limitsEnabled);
  const Params to = copies.params();

  applying.pose.params = from;
  const std::vector<bool> in = body_part::segmentsIn(figure, choice.part);
  for (std::size_t i = 0; i < segments.size(); ++i) {
    if (!in[i] || choice.amount == 0.0) continue;
    applying.pose.params[i] =
        blend(from[i], to[i], paramKinds(*segments[i]->joint), choice.amount, segments[i] == figure.root.get());
  }
  copies.setHeld(applying.pose.params, figure.limitsEnabled);
  applying.pose.pins = followingPins(base, copies, before, copies.frames());
  return applying;
}

}  // namespace part_apply
