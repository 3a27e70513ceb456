#include "pose/BvhWriter.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

#include "pose/BvhSkeleton.h"
#include "pose/ShownText.h"

namespace bvh {

namespace {

constexpr int kMostDecimals = 12;
constexpr double kDegrees = 180.0 / M_PI;
const char* const kRotationAxes[] = {"X", "Y", "Z"};

template <typename T>
void appendNumber(std::string& out, T value) {
  char buffer[512];
  auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed).ptr;
  const std::string_view text(buffer, end - buffer);
  const size_t point = text.find('.');
  if (point != std::string_view::npos && text.size() - point - 1 > kMostDecimals) {
    end =
        std::to_chars(buffer, buffer + sizeof buffer, double(value), std::chars_format::fixed, kMostDecimals)
            .ptr;
    while (end[-1] == '0') --end;
    if (end[-1] == '.') --end;
  }
  std::string_view written(buffer, end - buffer);
  if (written == "-0") written = "0";
  out.append(written);
}

void appendTriple(std::string& out, double x, double y, double z) {
  appendNumber(out, x);
  out += ' ';
  appendNumber(out, y);
  out += ' ';
  appendNumber(out, z);
}

// Offsets are sums of the figure's float lengths, written as floats: what
// the figure holds, without the noise of widening.
void appendOffset(std::string& out, const std::string& indent, const std::array<double, 3>& v) {
  out += indent + "\tOFFSET ";
  appendNumber(out, static_cast<float>(v[0]));
  out += ' ';
  appendNumber(out, static_cast<float>(v[1]));
  out += ' ';
  appendNumber(out, static_cast<float>(v[2]));
  out += '\n';
}

// The joint's rotation channels, in its order, in radians.
std::array<double, 3> turnAngles(const Joint& joint, const std::vector<double>& p) {
  double about[3] = {0, 0, 0};
  switch (joint.turn) {
    case Turn::Quaternion: {
      Quat q(p[joint.turnParam], p[joint.turnParam + 1], p[joint.turnParam + 2], p[joint.turnParam + 3]);
      q.normalize();
      return eulerAngles(q, joint.order);
    }
    case Turn::HingePair:
      about[joint.axes[1]] = p[joint.secondParam];
      [[fallthrough]];
    case Turn::Hinge:
      about[joint.axes[0]] = p[joint.turnParam];
      break;
    case Turn::None:
      break;
  }
  return {about[joint.order[0]], about[joint.order[1]], about[joint.order[2]]};
}

class Writer {
 public:
  explicit Writer(const Figure& figure) : skeleton(skeletonOf(figure)) {}

  Writing run() {
    if (!skeleton.error.empty()) return {"", "cannot write BVH: " + skeleton.error};
    Writing w;
    w.text = "HIERARCHY\n";
    std::vector<int> open;
    for (size_t i = 0; i < skeleton.joints.size(); ++i) {
      while (!open.empty() && open.back() != skeleton.joints[i].parent) close(w.text, open);
      begin(w.text, static_cast<int>(i), open.size());
      open.push_back(static_cast<int>(i));
    }
    while (!open.empty()) close(w.text, open);
    w.text += "MOTION\nFrames: 1\nFrame Time: 0.0333333\n";
    std::string frame;
    for (const Joint& joint : skeleton.joints) {
      std::vector<double> p(joint.segment->joint->dofCount());
      joint.segment->joint->getParams(p.data());
      for (double v : p) {
        if (!std::isfinite(v)) {
          return {"", "cannot write BVH: segment " + quotedToken(joint.segment->name) +
                          " has a value that is not finite"};
        }
      }
      if (joint.parent < 0) {
        const Vec3& end = joint.segment->endOffset;
        const int t = joint.translation;
        appendTriple(frame, end.x + (t < 0 ? 0.0 : p[t]), end.y + (t < 0 ? 0.0 : p[t + 1]),
                     end.z + (t < 0 ? 0.0 : p[t + 2]));
        frame += ' ';
      }
      const std::array<double, 3> angles = turnAngles(joint, p);
      appendTriple(frame, angles[0] * kDegrees, angles[1] * kDegrees, angles[2] * kDegrees);
      frame += &joint == &skeleton.joints.back() ? '\n' : ' ';
    }
    w.text += frame;
    return w;
  }

 private:
  void begin(std::string& out, int i, size_t depth) {
    const Joint& joint = skeleton.joints[i];
    const std::string indent(depth, '\t');
    out += indent + (joint.parent < 0 ? "ROOT " : "JOINT ") + joint.segment->name + "\n" + indent + "{\n";
    appendOffset(out, indent, joint.offset);
    out += indent + (joint.parent < 0 ? "\tCHANNELS 6 Xposition Yposition Zposition" : "\tCHANNELS 3");
    for (int axis : joint.order) out += std::string(" ") + kRotationAxes[axis] + "rotation";
    out += '\n';
  }

  void close(std::string& out, std::vector<int>& open) {
    const Joint& joint = skeleton.joints[open.back()];
    open.pop_back();
    const std::string indent(open.size(), '\t');
    if (joint.leaf) {
      const Vec3& end = joint.segment->endOffset;
      out += indent + "\tEnd Site\n" + indent + "\t{\n";
      appendOffset(out, indent + "\t", {end.x, end.y, end.z});
      out += indent + "\t}\n";
    }
    out += indent + "}\n";
  }

  Skeleton skeleton;
};

}  // namespace

Writing write(const Figure& figure) { return Writer(figure).run(); }

}  // namespace bvh
