// Captures fitted onto the figure, judged by a forward kinematics of the
// capture written here, apart from the reader under test: each limb of the
// figure against the capture's, after both bodies are turned so that their
// hips agree. Renamed copies of a frame fit the same; what a capture lacks is
// refused by name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "humanoid/Humanoid.h"
#include "pose/Capture.h"
#include "pose/CaptureFit.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct V {
  double x = 0, y = 0, z = 0;
};
V operator+(V a, V b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V operator-(V a, V b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V operator*(V a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dotOf(V a, V b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V crossOf(V a, V b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V unitOf(V a) { return a * (1 / std::sqrt(dotOf(a, a))); }
using M = std::array<double, 9>;  // row by row
M mul(const M& a, const M& b) {
  M r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) r[3 * i + j] += a[3 * i + k] * b[3 * k + j];
  return r;
}
V rotate(const M& m, V v) {
  return {m[0] * v.x + m[1] * v.y + m[2] * v.z, m[3] * v.x + m[4] * v.y + m[5] * v.z,
          m[6] * v.x + m[7] * v.y + m[8] * v.z};
}
M turn(char axis, double degrees) {
  const double c = std::cos(degrees * kPi / 180), s = std::sin(degrees * kPi / 180);
  if (axis == 'X') return {1, 0, 0, 0, c, -s, 0, s, c};
  if (axis == 'Y') return {c, 0, s, 0, 1, 0, -s, 0, c};
  return {c, -s, 0, s, c, 0, 0, 0, 1};
}

// A BVH file's joints and frames, read plainly: channels applied in the
// order written, position channels added to the offset.
struct Motion {
  std::vector<std::string> names;
  std::vector<int> parents;
  std::vector<V> offsets;
  std::vector<std::vector<std::string>> channels;
  std::vector<std::vector<double>> frames;

  explicit Motion(const std::string& text) {
    std::istringstream in(text);
    std::string w;
    std::vector<int> open;
    int last = -1;
    while (in >> w && w != "MOTION") {
      if (w == "ROOT" || w == "JOINT" || w == "End") {
        std::string name;
        in >> name;
        names.push_back(w == "End" ? "" : name);
        parents.push_back(open.empty() ? -1 : open.back());
        channels.emplace_back();
        offsets.emplace_back();
        last = static_cast<int>(names.size()) - 1;
      } else if (w == "{") {
        open.push_back(last);
      } else if (w == "}") {
        open.pop_back();
      } else if (w == "OFFSET") {
        in >> offsets[last].x >> offsets[last].y >> offsets[last].z;
      } else if (w == "CHANNELS") {
        int n;
        in >> n;
        channels[last].resize(n);
        for (auto& c : channels[last]) in >> c;
      }
    }
    int count = 0;
    in >> w >> count >> w >> w >> w;
    size_t width = 0;
    for (const auto& c : channels) width += c.size();
    frames.assign(count, std::vector<double>(width));
    for (auto& f : frames)
      for (double& v : f) in >> v;
  }

  int index(const std::string& name) const {
    return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
  }

  std::vector<V> points(int frame) const {  // from 1
    std::vector<V> at(names.size());
    std::vector<M> turns(names.size());
    size_t k = 0;
    for (size_t j = 0; j < names.size(); ++j) {
      M r{1, 0, 0, 0, 1, 0, 0, 0, 1};
      V offset = offsets[j];
      for (const std::string& c : channels[j]) {
        const double v = frames[frame - 1][k++];
        if (c[1] == 'p') {
          (c[0] == 'X' ? offset.x : c[0] == 'Y' ? offset.y : offset.z) += v;
        } else {
          r = mul(r, turn(c[0], v));
        }
      }
      const int p = parents[j];
      at[j] = p < 0 ? offset : at[p] + rotate(turns[p], offset);
      turns[j] = p < 0 ? r : mul(turns[p], r);
    }
    return at;
  }
};

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string fixture(const std::string& name) { return fileText(std::string(MANNEQUIN_CAPTURES) + "/" + name); }

capture::Fitting fitText(const Figure& figure, const std::string& text, long frame) {
  std::istringstream in(text);
  const capture::Loading loading = capture::load(figure, in);
  if (!loading.error.empty()) return {{}, loading.error};
  return capture::fit(figure, *loading.capture, frame);
}

// Where the figure's segments begin and end once posed.
std::map<std::string, std::pair<V, V>> figurePoints(Figure& figure, const Pose& pose) {
  applyPose(figure, pose);
  std::map<std::string, std::pair<V, V>> out;
  std::vector<std::pair<const Segment*, Mat4>> stack{{figure.root.get(), Figure::frame(Mat4(), *figure.root)}};
  while (!stack.empty()) {
    auto [s, w] = stack.back();
    stack.pop_back();
    const Vec3 o = transformPoint(w, Vec3()), e = transformPoint(w, s->endOffset);
    out[s->name] = {{o.x, o.y, o.z}, {e.x, e.y, e.z}};
    for (int i = 0; i < s->childCount(); ++i) stack.push_back({s->child(i), Figure::frame(w, *s->child(i))});
  }
  return out;
}

// A body's limbs, each from its start to its end, and what turns it so
// that its hips face +x with their left at +z.
struct Body {
  std::map<std::string, std::pair<V, V>> limbs;
  V hips, leftHip, rightHip, neck;

  V inHips(V v) const {
    const V left = unitOf(leftHip - rightHip);
    V up = neck - hips;
    up = unitOf(up - left * dotOf(up, left));
    const V front = crossOf(left, up);
    return {dotOf(v, front), dotOf(v, up), dotOf(v, left)};
  }
  V direction(const std::string& limb) const {
    const auto& [a, b] = limbs.at(limb);
    return unitOf(inHips(b - a));
  }
};

const char* const kLimbs[] = {"left thigh", "left shin", "left foot", "right thigh", "right shin", "right foot",
                              "left upper arm", "left forearm", "left hand", "right upper arm",
                              "right forearm", "right hand", "trunk", "head"};

Body figureBody(Figure& figure, const Pose& pose) {
  auto p = figurePoints(figure, pose);
  Body b;
  const char* segments[] = {"h_thigh_left", "h_shin_left", "h_foot_left", "h_thigh_right", "h_shin_right",
                            "h_foot_right", "h_bicep_left", "h_forearm_left", "h_hand_left", "h_bicep_right",
                            "h_forearm_right", "h_hand_right"};
  for (int i = 0; i < 12; ++i) b.limbs[kLimbs[i]] = p[segments[i]];
  b.limbs["trunk"] = {p["root"].first, p["h_spine"].second};
  b.limbs["head"] = p["h_head"];
  b.hips = p["root"].first, b.neck = p["h_spine"].second;
  b.leftHip = p["h_thigh_left"].first, b.rightHip = p["h_thigh_right"].first;
  return b;
}

// The joints that begin each limb and the one that ends it, by family.
struct Names {
  std::vector<std::pair<std::string, std::string>> limbs;  // in kLimbs' order
  std::string hips, neck, leftHip, rightHip;
};

const Names kCmu{{{"LeftUpLeg", "LeftLeg"}, {"LeftLeg", "LeftFoot"}, {"LeftFoot", "LeftToeBase"},
                  {"RightUpLeg", "RightLeg"}, {"RightLeg", "RightFoot"}, {"RightFoot", "RightToeBase"},
                  {"LeftArm", "LeftForeArm"}, {"LeftForeArm", "LeftHand"}, {"LeftHand", "LFingers"},
                  {"RightArm", "RightForeArm"}, {"RightForeArm", "RightHand"}, {"RightHand", "RFingers"},
                  {"Hips", "Neck"}, {"Neck", "Head+"}},
                 "Hips", "Neck", "LeftUpLeg", "RightUpLeg"};
const Names kBoxing{{{"LeftHip", "LeftKnee"}, {"LeftKnee", "LeftAnkle"}, {"LeftAnkle", "LeftToes"},
                     {"RightHip", "RightKnee"}, {"RightKnee", "RightAnkle"}, {"RightAnkle", "RightToes"},
                     {"LeftShoulder", "LeftElbow"}, {"LeftElbow", "LeftWrist"}, {"LeftWrist", "LeftWrist+"},
                     {"RightShoulder", "RightElbow"}, {"RightElbow", "RightWrist"}, {"RightWrist", "RightWrist+"},
                     {"Hips", "Neck"}, {"Neck", "Head+"}},
                    "Hips", "Neck", "LeftHip", "RightHip"};

// "Name+" is the end site below the joint.
Body captureBody(const Motion& m, const Names& n, int frame) {
  const std::vector<V> at = m.points(frame);
  const auto point = [&](const std::string& name) {
    if (name.back() == '+') return at[m.index(name.substr(0, name.size() - 1)) + 1];
    return at[m.index(name)];
  };
  Body b;
  for (int i = 0; i < 14; ++i) b.limbs[kLimbs[i]] = {point(n.limbs[i].first), point(n.limbs[i].second)};
  b.hips = point(n.hips), b.neck = point(n.neck), b.leftHip = point(n.leftHip), b.rightHip = point(n.rightHip);
  return b;
}

double degreesBetween(V a, V b) { return std::acos(std::clamp(dotOf(a, b), -1.0, 1.0)) * 180 / kPi; }

// Whether the figure's limits let the limb follow: the elbow bends 45
// degrees either way, the knee from straight to a right angle, the wrist
// and the ankle a right angle each way.
bool reachable(const Body& c, const std::string& limb) {
  const auto bend = [&](const std::string& a, const std::string& b) {
    return degreesBetween(c.direction(a), c.direction(b));
  };
  if (limb == "left forearm") return bend("left upper arm", "left forearm") <= 45;
  if (limb == "right forearm") return bend("right upper arm", "right forearm") <= 45;
  if (limb == "left shin") return bend("left thigh", "left shin") <= 90;
  if (limb == "right shin") return bend("right thigh", "right shin") <= 90;
  if (limb == "left hand") return bend("left forearm", "left hand") <= 90 && bend("left upper arm", "left forearm") <= 45;
  if (limb == "right hand") return bend("right forearm", "right hand") <= 90 && bend("right upper arm", "right forearm") <= 45;
  return true;
}

struct Measure {
  double angle;
  std::string limb;
  std::string where;
  bool reachable;
};

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(p * (v.size() - 1) + 0.5)];
}

TEST(CaptureFit, LimbsPointWhereTheCapturesDoOverTwentyFourFrames) {
  auto figure = buildHumanoid();
  std::vector<Measure> all;
  double farthest = 0;
  std::string farthestWhere;
  for (const auto& [file, names] : {std::pair{std::string("cmu-01-01-cut.bvh"), kCmu},
                                    std::pair{std::string("cmu-01-03-cut.bvh"), kCmu},
                                    std::pair{std::string("boxing-toes-cut.bvh"), kBoxing}}) {
    const std::string text = fixture(file);
    const Motion motion(text);
    ASSERT_EQ(motion.frames.size(), 8u) << file;
    for (int frame = 1; frame <= 8; ++frame) {
      const capture::Fitting fitting = fitText(*figure, text, frame);
      ASSERT_EQ(fitting.error, "") << file << " " << frame;
      const Body f = figureBody(*figure, fitting.pose);
      const Body c = captureBody(motion, names, frame);
      const auto armOf = [](const Body& b) {
        const auto& u = b.limbs.at("left upper arm");
        const auto& f = b.limbs.at("left forearm");
        const auto& t = b.limbs.at("left thigh");
        const auto& s = b.limbs.at("left shin");
        return (std::sqrt(dotOf(u.second - u.first, u.second - u.first)) +
                std::sqrt(dotOf(f.second - f.first, f.second - f.first))) /
               (std::sqrt(dotOf(t.second - t.first, t.second - t.first)) +
                std::sqrt(dotOf(s.second - s.first, s.second - s.first)));
      };
      const auto legOf = [](const Body& b) {
        const auto& t = b.limbs.at("left thigh");
        const auto& s = b.limbs.at("left shin");
        return std::sqrt(dotOf(t.second - t.first, t.second - t.first)) +
               std::sqrt(dotOf(s.second - s.first, s.second - s.first));
      };
      const std::string where = file + " frame " + std::to_string(frame);
      for (const char* limb : kLimbs) {
        all.push_back({degreesBetween(f.direction(limb), c.direction(limb)), limb, where, reachable(c, limb)});
      }
      // Wrists and ankles from the shoulders and the hips' joints, in leg
      // lengths, where the elbow and the knee can bend as the capture's.
      for (const auto& [limb, base, joint] :
           {std::tuple{"left hand", "left upper arm", "left forearm"},
            std::tuple{"right hand", "right upper arm", "right forearm"},
            std::tuple{"left foot", "left thigh", "left shin"}, std::tuple{"right foot", "right thigh", "right shin"}}) {
        if (!reachable(c, joint)) continue;
        const V fp = f.inHips(f.limbs.at(limb).first - f.limbs.at(base).first) * (1 / legOf(f));
        const V cp = c.inHips(c.limbs.at(limb).first - c.limbs.at(base).first) * (1 / legOf(c));
        // An arm longer than the capture's, for its legs, reaches further
        // by the difference, bend it as it may.
        const double longer = limb[std::strlen(limb) - 1] == 'd' ? std::fabs(armOf(f) - armOf(c)) : 0.0;
        const double d = std::sqrt(dotOf(fp - cp, fp - cp)) - longer;
        if (d > farthest) farthest = d, farthestWhere = where + " " + limb;
      }
    }
  }
  std::vector<double> angles, allowed;
  const Measure* worst = &all.front();
  for (const Measure& m : all) {
    angles.push_back(m.angle);
    if (m.reachable) allowed.push_back(m.angle);
    if (m.reachable && m.angle > worst->angle) worst = &m;
  }
  const double median = percentile(angles, 0.5), ninetieth = percentile(allowed, 0.9);
  std::cout << "median " << median << " degrees, 90th percentile where limits allow " << ninetieth
            << ", worst there " << worst->angle << " (" << worst->limb << ", " << worst->where << "), "
            << allowed.size() << " of " << angles.size() << " limbs within limits; hands and feet at most "
            << farthest << " leg lengths off (" << farthestWhere << ")\n";
  EXPECT_LE(median, 5.0);
  EXPECT_LE(ninetieth, 15.0);
  EXPECT_LE(farthest, 0.1);
}

}  // namespace
