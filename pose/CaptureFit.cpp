#include "pose/CaptureFit.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>
#include <tuple>

#include "pose/BvhReader.h"

namespace capture {

namespace {

constexpr double kRadians = M_PI / 180.0;
// What a limb's own turn costs beside its direction: enough to choose among
// turns that point everything as well, too little to point anything worse.
constexpr double kTwistWeight = 1e-4;
// Where the figure's shoulders are from the top of its abdomen, at rest:
// up and out, in metres.
constexpr double kShoulderRise = 0.15;
constexpr double kShoulderOut = 0.205;

Dir3 axisOf(int axis) { return {axis == 0 ? 1.0 : 0.0, axis == 1 ? 1.0 : 0.0, axis == 2 ? 1.0 : 0.0}; }
Dir3 toDir(const Vec3& v) { return {v.x, v.y, v.z}; }

double wrap(double a) { return std::remainder(a, 2 * M_PI); }

struct Hinge {
  int axis = 0;
  double lower = 0, upper = 0;

  Rotation3d turn(double angle) const { return Rotation3d::aboutAxis(axis, angle); }

  // The angle within the limits that turns rest closest to target, both in
  // the hinge's parent frame.
  double best(const Dir3& rest, const Dir3& target) const {
    const Dir3 a = axisOf(axis);
    const Dir3 r = rest - a * dot(rest, a);
    const double angle = std::atan2(dot(cross(a, r), target), dot(r, target));
    if (angle >= lower && angle <= upper) return angle;
    return std::fabs(wrap(angle - lower)) < std::fabs(wrap(angle - upper)) ? lower : upper;
  }
};

// Two hinges, the second turned by the first, pointing rest at target: each
// in turn the best for the other's angle.
std::pair<double, double> bestPair(const Hinge& first, const Hinge& second, const Dir3& rest, const Dir3& target) {
  double a = 0, b = 0;
  for (int round = 0; round < 6; ++round) {
    a = first.best(second.turn(b) * rest, target);
    b = second.best(rest, first.turn(a).transposed() * target);
  }
  return {a, b};
}

// The rotation that takes the segment's own direction d and left l (square
// to d) onto target and the part of leftHint square to it.
Rotation3d aim(const Dir3& d, const Dir3& l, const Dir3& target, const Dir3& leftHint, const Dir3& fallback) {
  Dir3 left = leftHint - target * dot(leftHint, target);
  if (length(left) < 1e-6) left = fallback - target * dot(fallback, target);
  if (length(left) < 1e-6) return Rotation3d::between(d, target);
  left = unit(left);
  const Rotation3d world = Rotation3d::fromColumns(target, left, cross(target, left));
  const Rotation3d own = Rotation3d::fromColumns(d, l, cross(d, l));
  return world * own.transposed();
}

// The turn about a limb, among a few dozen, that costs least, refined.
template <typename Cost>
double bestTwist(const Cost& cost) {
  constexpr int kSteps = 24;
  const double step = 2 * M_PI / kSteps;
  double best = 0, lowest = cost(0.0);
  for (int k = 1; k < kSteps; ++k) {
    const double c = cost(k * step - M_PI);
    if (c < lowest) lowest = c, best = k * step - M_PI;
  }
  const double golden = 0.5 * (std::sqrt(5.0) - 1);
  double lo = best - step, hi = best + step;
  double x1 = hi - golden * (hi - lo), x2 = lo + golden * (hi - lo);
  double c1 = cost(x1), c2 = cost(x2);
  for (int i = 0; i < 16; ++i) {
    if (c1 < c2) {
      hi = x2, x2 = x1, c2 = c1, x1 = hi - golden * (hi - lo), c1 = cost(x1);
    } else {
      lo = x1, x1 = x2, c1 = c2, x2 = lo + golden * (hi - lo), c2 = cost(x2);
    }
  }
  const double refined = 0.5 * (lo + hi);
  return cost(refined) <= lowest ? refined : best;
}

double miss(const Dir3& a, const Dir3& b) { return 1.0 - dot(a, b); }

// The figure's segments that a fit sets, with their hinges.
struct Limb {
  Segment* segment = nullptr;
  size_t position = 0;  // in the figure's pre-order
  std::vector<Hinge> hinges;
  Dir3 direction;  // its end, as a unit direction in its own frame
};

void hingesOf(const Transform& t, std::vector<Hinge>& out, bool& other) {
  if (const auto* chain = dynamic_cast<const TransformChain*>(&t)) {
    for (int i = 0; i < chain->childCount(); ++i) hingesOf(chain->child(i), out, other);
  } else if (const auto* h = dynamic_cast<const AxisRotation*>(&t)) {
    out.push_back({h->axis, h->lower, h->upper});
  } else if (t.dofCount() > 0) {
    other = true;
  }
}

class Fitter {
 public:
  Fitter(const Figure& figure, const Capture& capture, long frame)
      : figure(figure),
        capture(capture),
        frame(frame),
        roles(capture.recognition.joints),
        figureFront(unit(toDir(figure.front))),
        figureLeft(unit(toDir(figure.left))) {}

  Fitting run() {
    if (frame < 1 || frame > capture.frames) {
      return {{}, "there is no frame " + std::to_string(frame) + ": the file has " +
                      std::to_string(capture.frames)};
    }
    if (!layout()) return {{}, error};
    at = place(capture, frame);
    for (const Dir3& p : at.points) {
      if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
        return {{}, "capture: frame " + std::to_string(frame) + " places a joint at no finite point"};
      }
    }
    for (const Segment* s : order) pose.params.emplace_back(s->joint->dofCount(), 0.0);
    restFrames();
    if (!root()) return {{}, error};
    trunk();
    leg(thighL, shinL, footL, kLeftThigh, kLeftShin, kLeftFoot, kLeftToes);
    leg(thighR, shinR, footR, kRightThigh, kRightShin, kRightFoot, kRightToes);
    arm(scapulaL, bicepL, forearmL, handL, kLeftUpperArm, kLeftForearm, kLeftHand, kLeftFingers, 0);
    arm(scapulaR, bicepR, forearmR, handR, kRightUpperArm, kRightForearm, kRightHand, kRightFingers, 1);
    return {std::move(pose), ""};
  }

 private:
  // ---- the figure

  bool limb(const char* name, Limb& out, size_t hingeCount, bool quaternion) {
    out.segment = figure.findSegment(name);
    bool other = false;
    if (out.segment) hingesOf(*out.segment->joint, out.hinges, other);
    const bool isQuat = out.segment && dynamic_cast<const QuatRotation*>(out.segment->joint.get());
    if (!out.segment || out.hinges.size() != hingeCount || (quaternion != isQuat) || (other && !quaternion) ||
        length(toDir(out.segment->endOffset)) == 0) {
      error = std::string("capture: the figure has no segment ") + name + " as a fit needs it";
      return false;
    }
    out.direction = unit(toDir(out.segment->endOffset));
    out.position = std::find(order.begin(), order.end(), out.segment) - order.begin();
    return true;
  }

  bool layout() {
    order = figure.segments();
    const Segment* r = figure.root.get();
    const auto* chain = dynamic_cast<const TransformChain*>(r->joint.get());
    if (!chain || chain->childCount() != 2 || !dynamic_cast<const Translation*>(&chain->child(0)) ||
        !dynamic_cast<const QuatRotation*>(&chain->child(1))) {
      error = "capture: the figure's root is not one a fit can move";
      return false;
    }
    return limb("h_thigh_left", thighL, 0, true) && limb("h_shin_left", shinL, 1, false) &&
           limb("h_foot_left", footL, 2, false) && limb("h_thigh_right", thighR, 0, true) &&
           limb("h_shin_right", shinR, 1, false) && limb("h_foot_right", footR, 2, false) &&
           limb("h_abdomen", abdomen, 0, true) && limb("h_spine", spine, 0, true) &&
           limb("h_head", head, 0, true) && limb("h_scapula_left", scapulaL, 2, false) &&
           limb("h_bicep_left", bicepL, 0, true) && limb("h_forearm_left", forearmL, 2, false) &&
           limb("h_hand_left", handL, 1, false) && limb("h_scapula_right", scapulaR, 2, false) &&
           limb("h_bicep_right", bicepR, 0, true) && limb("h_forearm_right", forearmR, 2, false) &&
           limb("h_hand_right", handR, 1, false);
  }

  std::vector<double>& params(const Limb& l) { return pose.params[l.position]; }

  void setQuat(const Limb& l, const Rotation3d& parent, const Rotation3d& world) {
    const Quat q = (parent.transposed() * world).toQuat();
    std::vector<double>& p = params(l);
    p[0] = q.x, p[1] = q.y, p[2] = q.z, p[3] = q.w;
  }

  // ---- the capture

  Dir3 point(Role role) const { return at.points[roles[role]]; }

  // The role's point, or where the joint before it leads first.
  Dir3 endOf(Role role, Role before) const { return endOfIn(at, role, before); }

  Dir3 limbDirection(const Dir3& from, const Dir3& to, const Dir3& fallback) const {
    const Dir3 d = to - from;
    return length(d) > 1e-9 * capture.legLength ? unit(d) : fallback;
  }

  // The capture's own left and front in its rest pose, and what turns them
  // onto the figure's.
  void restFrames() {
    const Placement rest = place(capture, 0);
    Dir3 left = rest.points[roles[kLeftThigh]] - rest.points[roles[kRightThigh]];
    left.y = 0;
    restLeft = length(left) > 0 ? unit(left) : Dir3{1, 0, 0};
    restFront = cross(restLeft, {0, 1, 0});
    const Rotation3d figureAxes = Rotation3d::fromColumns(figureFront, {0, 1, 0}, figureLeft);
    const Rotation3d captureAxes = Rotation3d::fromColumns(restFront, {0, 1, 0}, restLeft);
    toFigure = figureAxes * captureAxes.transposed();
    for (int side = 0; side < 2; ++side) {
      const Role hand = side == 0 ? kLeftHand : kRightHand;
      const Role fingers = side == 0 ? kLeftFingers : kRightFingers;
      const Dir3 along = unit(endOfIn(rest, fingers, hand) - rest.points[roles[hand]]);
      palm[side] = unit(cross(restFront, along));
    }
  }

  Dir3 endOfIn(const Placement& p, Role role, Role before) const {
    if (roles[role] >= 0) return p.points[roles[role]];
    const int from = roles[before];
    for (int j = from; j + 1 < static_cast<int>(capture.joints.size()) && capture.joints[j + 1].parent == j;) {
      ++j;
      if (length(p.points[j] - p.points[from]) > 1e-6 * capture.legLength) return p.points[j];
    }
    return p.points[from];
  }

  // ---- the fit, from the root down

  bool root() {
    const double legs = length(toDir(shinL.segment->endOffset)) + length(toDir(thighL.segment->endOffset));
    scale = legs / capture.legLength;
    const Dir3 hips = point(kPelvis);
    Dir3 left = point(kLeftThigh) - point(kRightThigh);
    left = length(left) > 0 ? unit(left) : Dir3{1, 0, 0};
    // Up is the trunk's, square to the hips' line; failing that the world's
    // or, for hips on end, any square to them.
    Dir3 up{};
    for (const Dir3& choice : {point(kNeck) - hips, Dir3{0, 1, 0}, Dir3{1, 0, 0}, Dir3{0, 0, 1}}) {
      up = choice - left * dot(choice, left);
      if (length(up) > 1e-6 * length(choice)) break;
    }
    up = unit(up);
    const Rotation3d world = Rotation3d::fromColumns(cross(left, up), up, left);
    const Rotation3d own = Rotation3d::fromColumns(figureFront, {0, 1, 0}, figureLeft);
    rootWorld = world * own.transposed();
    std::vector<double>& p = pose.params[0];
    const Quat q = rootWorld.toQuat();
    p = {0.0, hips.y * scale, 0.0, q.x, q.y, q.z, q.w};
    // A pose's numbers stay within what its text may hold.
    if (!(std::fabs(hips.y * scale) <= bvh::kValueLimit)) {
      error = "capture: frame " + std::to_string(frame) + " puts the hips " + std::to_string(hips.y * scale) +
              " m up, scaled";
      return false;
    }
    return true;
  }

  // The abdomen and the spine share the trunk's bend as the capture's
  // spine does; together they reach where its neck is from its hips.
  void trunk() {
    std::vector<Dir3> line;  // the capture's spine, from the neck down to the hips
    for (int j = roles[kNeck]; j >= 0; j = capture.joints[j].parent) {
      line.push_back(at.points[j]);
      if (j == roles[kPelvis]) break;
    }
    const Segment* pelvisUp = abdomen.segment->parent;
    const double low = length(toDir(pelvisUp->endOffset)) + length(toDir(abdomen.segment->endOffset));
    const double high = length(toDir(spine.segment->endOffset));
    double total = 0;
    for (size_t i = 1; i < line.size(); ++i) total += length(line[i] - line[i - 1]);
    // The point as far up the line as the figure's abdomen reaches up its trunk.
    double want = total * low / (low + high);
    Dir3 middle = line.front();
    for (size_t i = line.size() - 1; i > 0; --i) {
      const double piece = length(line[i - 1] - line[i]);
      if (piece > 0 && piece >= want) {
        middle = line[i] + (line[i - 1] - line[i]) * (want / piece);
        break;
      }
      want -= piece;
    }
    const Dir3 hips = point(kPelvis), neck = point(kNeck);
    const Dir3 up = rootWorld * Dir3{0, 1, 0};
    const Dir3 shoulders = point(kLeftUpperArm) - point(kRightUpperArm);
    const Dir3 side = rootWorld * figureLeft;
    abdomenWorld = aim(unit(toDir(abdomen.segment->endOffset)), figureLeft, limbDirection(hips, middle, up),
                       shoulders, side);
    spineWorld = aim(unit(toDir(spine.segment->endOffset)), figureLeft, limbDirection(middle, neck, up),
                     shoulders, side);
    // Both turned together until the figure's neck lies where the capture's does.
    const Dir3 wanted = limbDirection(hips, neck, up);
    for (int round = 0; round < 3; ++round) {
      const Dir3 reach = rootWorld * toDir(pelvisUp->endOffset) + abdomenWorld * toDir(abdomen.segment->endOffset) +
                         spineWorld * toDir(spine.segment->endOffset);
      const Rotation3d turn = Rotation3d::between(unit(reach), wanted);
      abdomenWorld = turn * abdomenWorld;
      spineWorld = turn * spineWorld;
    }
    setQuat(abdomen, rootWorld, abdomenWorld);
    setQuat(spine, abdomenWorld, spineWorld);
    const Dir3 top = endOf(kHeadTop, kHead);
    const Rotation3d headWorld = aim(head.direction, figureLeft, limbDirection(neck, top, spineWorld * Dir3{0, 1, 0}),
                                     at.rotations[roles[kHead]] * restLeft, spineWorld * figureLeft);
    setQuat(head, spineWorld, headWorld);
  }

  void leg(const Limb& thigh, const Limb& shin, const Limb& foot, Role hipRole, Role kneeRole, Role ankleRole,
           Role toesRole) {
    const Dir3 hip = point(hipRole), knee = point(kneeRole), ankle = point(ankleRole);
    const Dir3 toes = endOf(toesRole, ankleRole);
    const Dir3 t = limbDirection(hip, knee, rootWorld * thigh.direction);
    const Dir3 s = limbDirection(knee, ankle, t);
    const Dir3 f = limbDirection(ankle, toes, rootWorld * figureFront);
    const Rotation3d base = aim(thigh.direction, figureLeft, t, rootWorld * figureLeft, rootWorld * figureFront);
    const Hinge& bend = shin.hinges[0];
    struct Result {
      Rotation3d thigh;
      double knee = 0, first = 0, second = 0, cost = 0;
    };
    const auto solve = [&](double twist) {
      Result r;
      r.thigh = Rotation3d::about(t, twist) * base;
      r.knee = bend.best(shin.direction, r.thigh.transposed() * s);
      const Rotation3d shinWorld = r.thigh * bend.turn(r.knee);
      std::tie(r.first, r.second) = bestPair(foot.hinges[0], foot.hinges[1], foot.direction, shinWorld.transposed() * f);
      const Rotation3d footWorld = shinWorld * foot.hinges[0].turn(r.first) * foot.hinges[1].turn(r.second);
      r.cost = miss(shinWorld * shin.direction, s) + miss(footWorld * foot.direction, f) +
               kTwistWeight * (1 - std::cos(twist));
      return r;
    };
    const Result r = solve(bestTwist([&](double twist) { return solve(twist).cost; }));
    setQuat(thigh, rootWorld, r.thigh);
    params(shin)[0] = r.knee;
    params(foot)[0] = r.first, params(foot)[1] = r.second;
  }

  // The collarbone turns from its rest as the capture's does; the upper arm
  // points, and turns about itself so that the forearm and the hand point as
  // well as their hinges allow, the palm as the capture's where they tie.
  void arm(const Limb& scapula, const Limb& bicep, const Limb& forearm, const Limb& hand, Role upperRole,
           Role forearmRole, Role handRole, Role fingersRole, int side) {
    const int upper = roles[upperRole];
    const int collar = capture.joints[upper].parent;
    const Dir3 offset = capture.joints[upper].offset;
    Rotation3d shrug;
    if (collar >= 0 && length(offset) > 0) {
      const int chest = capture.joints[collar].parent;
      const Rotation3d own = chest < 0 ? at.rotations[collar] : at.rotations[chest].transposed() * at.rotations[collar];
      shrug = Rotation3d::between(unit(offset), unit(own * offset));
    }
    const Dir3 rest = unit(Dir3{0, kShoulderRise, side == 0 ? kShoulderOut : -kShoulderOut});
    const Dir3 g = toFigure * (shrug * (toFigure.transposed() * rest));
    const auto [a, b] = bestPair(scapula.hinges[0], scapula.hinges[1], scapula.direction, g);
    params(scapula)[0] = a, params(scapula)[1] = b;
    const Rotation3d scapulaWorld = abdomenWorld * scapula.hinges[0].turn(a) * scapula.hinges[1].turn(b);

    const Dir3 shoulder = point(upperRole), elbow = point(forearmRole), wrist = point(handRole);
    const Dir3 fingers = endOf(fingersRole, handRole);
    const Dir3 u = limbDirection(shoulder, elbow, scapulaWorld * bicep.direction);
    const Dir3 f = limbDirection(elbow, wrist, u);
    const Dir3 h = limbDirection(wrist, fingers, f);
    const Dir3 palmNormal = at.rotations[roles[handRole]] * palm[side];
    const Rotation3d base = aim(bicep.direction, figureLeft, u, rootWorld * figureFront, rootWorld * Dir3{0, 1, 0});
    const Hinge& bend = forearm.hinges[0];
    struct Result {
      Rotation3d bicep;
      double elbow = 0, twist = 0, wrist = 0, cost = 0;
    };
    const auto solve = [&](double turn) {
      Result r;
      r.bicep = Rotation3d::about(u, turn) * base;
      r.elbow = bend.best(forearm.direction, r.bicep.transposed() * f);
      const Rotation3d bent = r.bicep * bend.turn(r.elbow);
      std::tie(r.twist, r.wrist) = bestPair(forearm.hinges[1], hand.hinges[0], hand.direction, bent.transposed() * h);
      const Rotation3d handWorld = bent * forearm.hinges[1].turn(r.twist) * hand.hinges[0].turn(r.wrist);
      r.cost = miss(bent * forearm.direction, f) + miss(handWorld * hand.direction, h) +
               kTwistWeight * (1 - std::fabs(dot(handWorld * Dir3{0, 0, 1}, palmNormal)));
      return r;
    };
    const Result r = solve(bestTwist([&](double turn) { return solve(turn).cost; }));
    setQuat(bicep, scapulaWorld, r.bicep);
    params(forearm)[0] = r.elbow, params(forearm)[1] = r.twist;
    params(hand)[0] = r.wrist;
  }

  const Figure& figure;
  const Capture& capture;
  long frame;
  const std::array<int, kRoleCount>& roles;
  std::vector<Segment*> order;  // the figure's segments in pre-order
  Placement at;
  Pose pose;
  std::string error;
  Limb thighL, shinL, footL, thighR, shinR, footR, abdomen, spine, head;
  Limb scapulaL, bicepL, forearmL, handL, scapulaR, bicepR, forearmR, handR;
  Dir3 figureFront, figureLeft;
  Dir3 restLeft, restFront;
  Dir3 palm[2];
  Rotation3d toFigure, rootWorld, abdomenWorld, spineWorld;
  double scale = 1;
};

}  // namespace

Placement place(const Capture& capture, long frame) {
  Placement p;
  const size_t n = capture.joints.size();
  p.points.resize(n);
  p.rotations.resize(n);
  const double* values = frame >= 1 ? capture.frame(frame) : nullptr;
  for (size_t j = 0; j < n; ++j) {
    const Joint& joint = capture.joints[j];
    Rotation3d turn;
    Dir3 offset = joint.offset;
    if (values) {
      for (const auto& [axis, channel] : joint.turns) turn = turn * Rotation3d::aboutAxis(axis, values[channel] * kRadians);
      if (joint.position[0] >= 0) offset.x += values[joint.position[0]];
      if (joint.position[1] >= 0) offset.y += values[joint.position[1]];
      if (joint.position[2] >= 0) offset.z += values[joint.position[2]];
    }
    if (joint.parent < 0) {
      p.points[j] = offset;
      p.rotations[j] = turn;
    } else {
      p.points[j] = p.points[joint.parent] + p.rotations[joint.parent] * offset;
      p.rotations[j] = p.rotations[joint.parent] * turn;
    }
  }
  return p;
}

Fitting fit(const Figure& figure, const Capture& capture, long frame) {
  if (!capture.own) return Fitter(figure, capture, frame).run();
  // The figure's own skeleton: the frame alone, read as a file of one frame.
  if (frame < 1 || frame > capture.frames) {
    return {{}, "there is no frame " + std::to_string(frame) + ": the file has " + std::to_string(capture.frames)};
  }
  std::string text = capture.hierarchy + "MOTION\nFrames: 1\nFrame Time: 1\n";
  char buffer[64];
  const double* values = capture.frame(frame);
  for (int i = 0; i < capture.channels; ++i) {
    text.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, values[i]).ptr);
    text += i + 1 == capture.channels ? '\n' : ' ';
  }
  std::istringstream in(text);
  const bvh::Reading reading = bvh::read(figure, in);
  return {reading.pose, reading.error};
}

}  // namespace capture
