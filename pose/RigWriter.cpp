#include "pose/RigWriter.h"

#include <charconv>
#include <cmath>
#include <map>
#include <vector>

#include "pose/BvhRotation.h"
#include "pose/Rotation3d.h"

namespace rig {

namespace {

constexpr double kDegrees = 180.0 / M_PI;
// Where the figure's shoulders are from the top of its abdomen in the
// T-pose: up and out, in metres, as the humanoid is built.
constexpr double kShoulderRise = 0.15;
constexpr double kShoulderOut = 0.205;

// A joint of the rig: where it lies along one of the figure's segments (a
// share of the way from its start to its end, in the T-pose), and whose
// turn it carries.
struct RigJoint {
  const char* name;  // null for an end site
  const char* parent;
  const char* carries;
  const char* along;
  double share;
};

// Parents come before their children; an end site follows its joint.
const std::vector<RigJoint> kCmu = {
    {"Hips", nullptr, "root", "root", 0},
    {"LHipJoint", "Hips", "root", "h_pelvis_left", 0.5},
    {"LeftUpLeg", "LHipJoint", "h_thigh_left", "h_thigh_left", 0},
    {"LeftLeg", "LeftUpLeg", "h_shin_left", "h_shin_left", 0},
    {"LeftFoot", "LeftLeg", "h_foot_left", "h_foot_left", 0},
    {"LeftToeBase", "LeftFoot", "h_foot_left", "h_foot_left", 0.7},
    {nullptr, "LeftToeBase", "h_foot_left", "h_foot_left", 1},
    {"RHipJoint", "Hips", "root", "h_pelvis_right", 0.5},
    {"RightUpLeg", "RHipJoint", "h_thigh_right", "h_thigh_right", 0},
    {"RightLeg", "RightUpLeg", "h_shin_right", "h_shin_right", 0},
    {"RightFoot", "RightLeg", "h_foot_right", "h_foot_right", 0},
    {"RightToeBase", "RightFoot", "h_foot_right", "h_foot_right", 0.7},
    {nullptr, "RightToeBase", "h_foot_right", "h_foot_right", 1},
    {"LowerBack", "Hips", "h_abdomen", "h_abdomen", 0},
    {"Spine", "LowerBack", "h_abdomen", "h_abdomen", 0.5},
    {"Spine1", "Spine", "h_spine", "h_spine", 0},
    {"Neck", "Spine1", "h_head", "h_head", 0},
    {"Neck1", "Neck", "h_head", "h_head", 0.3},
    {"Head", "Neck1", "h_head", "h_head", 0.5},
    {nullptr, "Head", "h_head", "h_head", 1},
    {"LeftShoulder", "Spine1", "h_scapula_left", "h_scapula_left", 0},
    {"LeftArm", "LeftShoulder", "h_bicep_left", "h_bicep_left", 0},
    {"LeftForeArm", "LeftArm", "h_forearm_left", "h_forearm_left", 0},
    {"LeftHand", "LeftForeArm", "h_hand_left", "h_hand_left", 0},
    {nullptr, "LeftHand", "h_hand_left", "h_hand_left", 1},
    {"RightShoulder", "Spine1", "h_scapula_right", "h_scapula_right", 0},
    {"RightArm", "RightShoulder", "h_bicep_right", "h_bicep_right", 0},
    {"RightForeArm", "RightArm", "h_forearm_right", "h_forearm_right", 0},
    {"RightHand", "RightForeArm", "h_hand_right", "h_hand_right", 0},
    {nullptr, "RightHand", "h_hand_right", "h_hand_right", 1},
};

const std::vector<RigJoint> kMixamo = {
    {"mixamorig:Hips", nullptr, "root", "root", 0},
    {"mixamorig:LeftUpLeg", "mixamorig:Hips", "h_thigh_left", "h_thigh_left", 0},
    {"mixamorig:LeftLeg", "mixamorig:LeftUpLeg", "h_shin_left", "h_shin_left", 0},
    {"mixamorig:LeftFoot", "mixamorig:LeftLeg", "h_foot_left", "h_foot_left", 0},
    {"mixamorig:LeftToeBase", "mixamorig:LeftFoot", "h_foot_left", "h_foot_left", 0.7},
    {nullptr, "mixamorig:LeftToeBase", "h_foot_left", "h_foot_left", 1},
    {"mixamorig:RightUpLeg", "mixamorig:Hips", "h_thigh_right", "h_thigh_right", 0},
    {"mixamorig:RightLeg", "mixamorig:RightUpLeg", "h_shin_right", "h_shin_right", 0},
    {"mixamorig:RightFoot", "mixamorig:RightLeg", "h_foot_right", "h_foot_right", 0},
    {"mixamorig:RightToeBase", "mixamorig:RightFoot", "h_foot_right", "h_foot_right", 0.7},
    {nullptr, "mixamorig:RightToeBase", "h_foot_right", "h_foot_right", 1},
    {"mixamorig:Spine", "mixamorig:Hips", "h_abdomen", "h_abdomen", 0},
    {"mixamorig:Spine1", "mixamorig:Spine", "h_abdomen", "h_abdomen", 0.5},
    {"mixamorig:Spine2", "mixamorig:Spine1", "h_spine", "h_spine", 0},
    {"mixamorig:Neck", "mixamorig:Spine2", "h_head", "h_head", 0},
    {"mixamorig:Head", "mixamorig:Neck", "h_head", "h_head", 0.5},
    {nullptr, "mixamorig:Head", "h_head", "h_head", 1},
    {"mixamorig:LeftShoulder", "mixamorig:Spine2", "h_scapula_left", "h_scapula_left", 0},
    {"mixamorig:LeftArm", "mixamorig:LeftShoulder", "h_bicep_left", "h_bicep_left", 0},
    {"mixamorig:LeftForeArm", "mixamorig:LeftArm", "h_forearm_left", "h_forearm_left", 0},
    {"mixamorig:LeftHand", "mixamorig:LeftForeArm", "h_hand_left", "h_hand_left", 0},
    {nullptr, "mixamorig:LeftHand", "h_hand_left", "h_hand_left", 1},
    {"mixamorig:RightShoulder", "mixamorig:Spine2", "h_scapula_right", "h_scapula_right", 0},
    {"mixamorig:RightArm", "mixamorig:RightShoulder", "h_bicep_right", "h_bicep_right", 0},
    {"mixamorig:RightForeArm", "mixamorig:RightArm", "h_forearm_right", "h_forearm_right", 0},
    {"mixamorig:RightHand", "mixamorig:RightForeArm", "h_hand_right", "h_hand_right", 0},
    {nullptr, "mixamorig:RightHand", "h_hand_right", "h_hand_right", 1},
};

Dir3 toDir(const Vec3& v) { return {v.x, v.y, v.z}; }

// Every segment's frame in the world, by pre-order position.
struct Frames {
  std::vector<Rotation3d> turns;
  std::vector<Dir3> origins;
};

// The joint's turn and shift for the parameters, in double precision.
void jointOf(const Transform& t, const double*& p, Rotation3d& turn, Dir3& shift) {
  if (const auto* chain = dynamic_cast<const TransformChain*>(&t)) {
    for (int i = 0; i < chain->childCount(); ++i) jointOf(chain->child(i), p, turn, shift);
  } else if (dynamic_cast<const Translation*>(&t)) {
    shift = shift + turn * Dir3{p[0], p[1], p[2]};
    p += 3;
  } else if (const auto* h = dynamic_cast<const AxisRotation*>(&t)) {
    turn = turn * Rotation3d::aboutAxis(h->axis, *p++);
  } else if (dynamic_cast<const QuatRotation*>(&t)) {
    Quat q(p[0], p[1], p[2], p[3]);
    q.normalize();
    turn = turn * Rotation3d::fromQuat(q);
    p += 4;
  }
}

Frames framesOf(const std::vector<Segment*>& order, const std::vector<std::vector<double>>& params) {
  Frames f;
  std::map<const Segment*, size_t> index;
  for (size_t i = 0; i < order.size(); ++i) {
    const Segment* s = order[i];
    index[s] = i;
    Rotation3d turn;
    Dir3 shift;
    const double* p = params[i].data();
    jointOf(*s->joint, p, turn, shift);
    const Dir3 attachment = toDir(s->attachment());
    if (!s->parent) {
      f.turns.push_back(turn);
      f.origins.push_back(attachment + shift);
    } else {
      const size_t up = index[s->parent];
      f.turns.push_back(f.turns[up] * turn);
      f.origins.push_back(f.origins[up] + f.turns[up] * (attachment + shift));
    }
  }
  return f;
}

// The figure's T-pose: every hinge at zero and every quaternion the
// identity, but for the collarbones, up and out to the shoulders, and the
// upper arms, straight out to the sides.
std::vector<std::vector<double>> tPose(const std::vector<Segment*>& order) {
  std::vector<std::vector<double>> params;
  const double tilt = std::atan2(kShoulderOut, kShoulderRise);
  for (const Segment* s : order) {
    std::vector<double> p(s->joint->dofCount(), 0.0);
    if (dynamic_cast<const QuatRotation*>(s->joint.get())) p[3] = 1;
    const std::string name = s->name;
    const double side = name.find("_left") != std::string::npos ? 1.0 : -1.0;
    if (name.rfind("h_scapula", 0) == 0 && p.size() == 2) p[1] = side * tilt;
    if (name.rfind("h_bicep", 0) == 0 && p.size() == 4) {
      const Quat q = Rotation3d::aboutAxis(0, -side * (tilt + M_PI / 2)).toQuat();
      p = {q.x, q.y, q.z, q.w};
    }
    if (!s->parent && p.size() == 7) p[6] = 1;
    params.push_back(p);
  }
  return params;
}

void appendNumber(std::string& out, double v) {
  char buffer[64];
  char* end = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 9).ptr;
  while (end[-1] == '0') --end;
  if (end[-1] == '.') --end;
  std::string_view text(buffer, end - buffer);
  out.append(text == "-0" ? "0" : text);
}

void appendTriple(std::string& out, const Dir3& v) {
  appendNumber(out, v.x);
  out += ' ';
  appendNumber(out, v.y);
  out += ' ';
  appendNumber(out, v.z);
}

}  // namespace

std::optional<Family> familyNamed(const std::string& name) {
  if (name == "cmu") return Family::Cmu;
  if (name == "mixamo") return Family::Mixamo;
  return std::nullopt;
}

bvh::Writing write(const Figure& figure, Family family) {
  const std::vector<RigJoint>& table = family == Family::Cmu ? kCmu : kMixamo;
  const std::vector<Segment*> order = figure.segments();
  std::map<std::string, size_t> position;
  for (size_t i = 0; i < order.size(); ++i) position[order[i]->name] = i;
  for (const RigJoint& j : table) {
    for (const char* name : {j.carries, j.along}) {
      if (!position.count(name)) return {"", std::string("cannot write the rig: the figure has no segment ") + name};
    }
  }
  std::vector<std::vector<double>> now;
  for (const Segment* s : order) {
    std::vector<double> p(s->joint->dofCount());
    s->joint->getParams(p.data());
    for (double v : p) {
      if (!std::isfinite(v)) return {"", std::string("cannot write BVH: segment \"") + s->name + "\" has a value that is not finite"};
    }
    now.push_back(p);
  }
  const Frames rest = framesOf(order, tPose(order)), posed = framesOf(order, now);
  // Facing +Z: the figure's front onto +Z, its left onto +X.
  const Dir3 front = unit(toDir(figure.front)), left = unit(toDir(figure.left));
  const Rotation3d facing = Rotation3d::fromColumns({1, 0, 0}, {0, 1, 0}, {0, 0, 1}) *
                            Rotation3d::fromColumns(left, cross(front, left), front).transposed();
  const auto pointOf = [&](const Frames& f, const RigJoint& j) {
    const size_t s = position[j.along];
    return facing * (f.origins[s] + f.turns[s] * (toDir(order[s]->endOffset) * j.share));
  };
  // A bone's turn in the world: its segment's from the T-pose, facing +Z.
  const auto turnOf = [&](const RigJoint& j) {
    const size_t s = position[j.carries];
    return facing * posed.turns[s] * rest.turns[s].transposed() * facing.transposed();
  };
  std::map<std::string, size_t> byName;
  for (size_t i = 0; i < table.size(); ++i) {
    if (table[i].name) byName[table[i].name] = i;
  }

  bvh::Writing w;
  w.text = "HIERARCHY\n";
  std::string frame;
  std::vector<std::string> open;  // the joints whose braces are open
  const auto close = [&]() {
    open.pop_back();
    w.text += std::string(open.size(), '\t') + "}\n";
  };
  for (const RigJoint& j : table) {
    while (!open.empty() && open.back() != j.parent) close();
    const std::string indent(open.size(), '\t');
    const Dir3 at = pointOf(rest, j);
    const Dir3 offset = j.parent ? at - pointOf(rest, table[byName[j.parent]]) : Dir3{};
    if (!j.name) {
      w.text += indent + "End Site\n" + indent + "{\n" + indent + "\tOFFSET ";
      appendTriple(w.text, offset);
      w.text += "\n" + indent + "}\n";
      continue;
    }
    w.text += indent + (j.parent ? "JOINT " : "ROOT ") + j.name + "\n" + indent + "{\n" + indent + "\tOFFSET ";
    appendTriple(w.text, offset);
    w.text += "\n" + indent +
              (j.parent ? "\tCHANNELS 3" : "\tCHANNELS 6 Xposition Yposition Zposition") +
              " Zrotation Xrotation Yrotation\n";
    open.push_back(j.name);
    Rotation3d own = turnOf(j);
    if (j.parent) {
      own = turnOf(table[byName[j.parent]]).transposed() * own;
    } else {
      appendTriple(frame, pointOf(posed, j));
      frame += ' ';
    }
    const std::array<double, 3> angles = bvh::eulerAngles(own.toQuat(), {2, 0, 1});
    appendTriple(frame, Dir3{angles[0] * kDegrees, angles[1] * kDegrees, angles[2] * kDegrees});
    frame += ' ';
  }
  while (!open.empty()) close();
  frame.back() = '\n';
  w.text += "MOTION\nFrames: 1\nFrame Time: 0.0333333\n" + frame;
  return w;
}

}  // namespace rig
