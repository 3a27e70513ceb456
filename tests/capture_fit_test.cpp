// Captures fitted onto the figure, judged by a forward kinematics of the
// capture written here, apart from the reader under test: each limb of the
// figure against the capture's, after both bodies are turned so that their
// hips agree. Renamed copies of a frame fit the same; what a capture lacks is
// refused by name. The rigs' files land where the figure's own export does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "bvh/bvh_cases.h"
#include "humanoid/Humanoid.h"
#include "motion_kinematics.h"
#include "pose/BvhReader.h"
#include "pose/BvhWriter.h"
#include "pose/Capture.h"
#include "pose/CaptureFit.h"
#include "pose/CaptureReading.h"
#include "pose/RigWriter.h"

namespace {

using namespace capture_test;

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

std::vector<double> flat(const Pose& pose) {
  std::vector<double> v;
  for (const auto& p : pose.params) v.insert(v.end(), p.begin(), p.end());
  return v;
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
  double length(const std::string& limb) const {
    const auto& [a, b] = limbs.at(limb);
    return std::sqrt(dotOf(b - a, b - a));
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
  for (const std::string side : {"left ", "right "}) {
    if (limb == side + "forearm") return bend(side + "upper arm", side + "forearm") <= 45;
    if (limb == side + "shin") return bend(side + "thigh", side + "shin") <= 90;
    if (limb == side + "hand")
      return bend(side + "forearm", side + "hand") <= 90 && reachable(c, side + "forearm");
  }
  return true;
}

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(p * (v.size() - 1) + 0.5)];
}

// Every frame of the files fitted onto a figure whose limits are on, which
// then holds every hinge as fitted. The limbs' angles to the capture's must
// have a median of at most 5 degrees, and a 90th percentile of at most 15
// where the limits allow; the wrists and ankles, from the shoulders and the
// hips' joints, be at most a tenth of a leg length from the capture's,
// beyond what the figure's longer arms make.
void expectFitsFollow(const std::vector<std::pair<std::string, Names>>& files,
                      const std::vector<int>& frames) {
  auto figure = buildHumanoid();
  figure->limitsEnabled = true;
  std::vector<double> angles, allowed;
  double farthest = 0, worst = 0;
  std::string farthestWhere, worstWhere;
  for (const auto& [file, names] : files) {
    const std::string text = fileText(file);
    const Motion motion(text);
    std::istringstream in(text);
    const capture::Loading loading = capture::load(*figure, in);
    ASSERT_EQ(loading.error, "") << file;
    for (int frame : frames) {
      if (frame > static_cast<int>(motion.frames.size())) continue;
      const std::string where = file.substr(file.rfind('/') + 1) + " frame " + std::to_string(frame);
      const capture::Fitting fitting = capture::fit(*figure, *loading.capture, frame);
      ASSERT_EQ(fitting.error, "") << where;
      const Body f = figureBody(*figure, fitting.pose);
      // Clamping would have changed a hinge; the rest come back as given,
      // the root's place to a float.
      const std::vector<double> want = flat(fitting.pose), held = figure->dofs();
      for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(held[i], want[i], 1e-7) << where << " " << i;
      const Body c = captureBody(motion, names, frame);
      for (const char* limb : kLimbs) {
        const double angle = degreesBetween(f.direction(limb), c.direction(limb));
        angles.push_back(angle);
        if (!reachable(c, limb)) continue;
        allowed.push_back(angle);
        if (angle > worst) worst = angle, worstWhere = where + " " + limb;
      }
      const auto legOf = [&](const Body& b) { return b.length("left thigh") + b.length("left shin"); };
      const auto armOf = [&](const Body& b) {
        return (b.length("left upper arm") + b.length("left forearm")) / legOf(b);
      };
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
  ASSERT_FALSE(allowed.empty());
  std::cout << angles.size() / 14 << " frames: median " << percentile(angles, 0.5)
            << " degrees, 90th percentile where limits allow " << percentile(allowed, 0.9) << ", worst there "
            << worst << " (" << worstWhere << "), " << allowed.size() << " of " << angles.size()
            << " limbs within limits; wrists and ankles at most " << farthest << " leg lengths off ("
            << farthestWhere << ")\n";
  EXPECT_LE(percentile(angles, 0.5), 5.0);
  EXPECT_LE(percentile(allowed, 0.9), 15.0);
  EXPECT_LE(farthest, 0.1);
}

TEST(CaptureFit, LimbsPointWhereTheCapturesDoOverTwentyFourFrames) {
  const std::string folder = std::string(MANNEQUIN_CAPTURES) + "/";
  expectFitsFollow({{folder + "cmu-01-01-cut.bvh", kCmu},
                    {folder + "cmu-01-03-cut.bvh", kCmu},
                    {folder + "boxing-toes-cut.bvh", kBoxing}},
                   {1, 2, 3, 4, 5, 6, 7, 8});
}

// The whole captures the fixtures were cut from, where Debian's
// assimp-testmodels is installed: every 25th frame.
TEST(CaptureFit, LimbsPointWhereTheWholeCapturesDo) {
  const std::string folder = "/usr/share/assimp/models/BVH/";
  if (!std::ifstream(folder + "01_01.bvh")) GTEST_SKIP() << "no " << folder << "01_01.bvh (assimp-testmodels)";
  std::vector<int> frames;
  for (int f = 1; f <= 4511; f += 25) frames.push_back(f);
  expectFitsFollow(
      {{folder + "01_01.bvh", kCmu}, {folder + "01_03.bvh", kCmu}, {folder + "Boxing_Toes.bvh", kBoxing}},
      frames);
}

// The text with each joint named from renamed as to, whole names only.
std::string renamed(const std::string& text, const std::map<std::string, std::string>& names) {
  std::istringstream in(text);
  std::string out, line;
  while (std::getline(in, line)) {
    for (const char* keyword : {"ROOT ", "JOINT "}) {
      const size_t at = line.find(keyword);
      if (at == std::string::npos) continue;
      const size_t start = at + std::strlen(keyword);
      size_t end = start;
      while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end]))) ++end;
      const auto it = names.find(line.substr(start, end - start));
      if (it != names.end()) line.replace(start, end - start, it->second);
    }
    out += line + "\n";
  }
  return out;
}

TEST(CaptureFit, RenamedCopiesUnderMixamoAndDazNamesFitTheSame) {
  auto figure = buildHumanoid();
  const std::string cmu = fixture("cmu-01-03-cut.bvh");
  // Mixamo's names are CMU's behind its prefix, but for the spine and the fingers.
  std::map<std::string, std::string> mixamo;
  for (const std::string& name : Motion(cmu).names) mixamo[name] = "mixamorig:" + name;
  mixamo["LowerBack"] = "mixamorig:Spine", mixamo["Spine"] = "mixamorig:Spine1";
  mixamo["Spine1"] = "mixamorig:Spine2";
  mixamo["LFingers"] = "mixamorig:LeftHandMiddle1", mixamo["RFingers"] = "mixamorig:RightHandMiddle1";
  // Daz's names, one of them in capitals: case plays no part.
  const std::map<std::string, std::string> daz = {
      {"Hips", "HIP"},          {"LeftUpLeg", "lThigh"},     {"LeftLeg", "lShin"},      {"LeftFoot", "lFoot"},
      {"LeftToeBase", "lToe"},  {"RightUpLeg", "rThigh"},    {"RightLeg", "rShin"},     {"RightFoot", "rFoot"},
      {"RightToeBase", "rToe"}, {"Neck", "neck"},            {"Head", "head"},          {"LeftShoulder", "lCollar"},
      {"LeftArm", "lShldr"},    {"LeftForeArm", "lForeArm"}, {"LeftHand", "lHand"},     {"RightShoulder", "rCollar"},
      {"RightArm", "rShldr"},   {"RightForeArm", "rForeArm"}, {"RightHand", "rHand"},   {"LowerBack", "abdomen"},
      {"Spine1", "chest"},      {"LHipJoint", "lButtock"},   {"RHipJoint", "rButtock"}, {"LFingers", "lFingers"},
      {"RFingers", "rFingers"}};
  for (int frame : {1, 4, 8}) {
    const capture::Fitting original = fitText(*figure, cmu, frame);
    ASSERT_EQ(original.error, "");
    for (const auto& names : {mixamo, daz}) {
      const capture::Fitting copy = fitText(*figure, renamed(cmu, names), frame);
      ASSERT_EQ(copy.error, "") << names.at("Hips");
      const std::vector<double> a = flat(original.pose), b = flat(copy.pose);
      ASSERT_EQ(a.size(), b.size());
      for (size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], 1e-12) << names.at("Hips") << " " << i;
    }
  }
}

// The fit prints nothing, and what the figure held before, its handles
// included, plays no part.
TEST(CaptureFit, TheFitIsSilentAndIndependentOfThePersonsFigure) {
  auto fresh = buildHumanoid();
  auto used = buildHumanoid();
  applyPose(*used, fitText(*used, fixture("boxing-toes-cut.bvh"), 5).pose);
  auto handle = std::make_unique<Handle>();
  used->addHandle(handle.get(), used->findSegment("h_hand_left"));
  used->limitsEnabled = true;
  testing::internal::CaptureStdout();
  const capture::Fitting a = fitText(*fresh, fixture("cmu-01-01-cut.bvh"), 6);
  const capture::Fitting b = fitText(*used, fixture("cmu-01-01-cut.bvh"), 6);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(flat(a.pose), flat(b.pose));
  EXPECT_TRUE(a.pose.pins.empty());
  used->removeHandle(handle.get());
}

TEST(CaptureFit, WhatACaptureLacksIsRefusedByName) {
  auto figure = buildHumanoid();
  const std::string cmu = fixture("cmu-01-01-cut.bvh");
  EXPECT_EQ(fitText(*figure, renamed(cmu, {{"LeftUpLeg", "LeftThighBone"}}), 1).error,
            "capture: no left thigh (LeftUpLeg, lThigh, LeftHip or mixamorig:LeftUpLeg)");
  EXPECT_EQ(fitText(*figure, renamed(cmu, {{"RightForeArm", "RightLowerArm"}}), 1).error,
            "capture: no right forearm (RightForeArm, rForeArm, RightElbow or mixamorig:RightForeArm)");
  // Legs of no length: every offset from the thighs to the feet zero.
  std::string flatLegs = cmu;
  for (const char* offset : {"2.44811 -6.72613 0.00000", "2.56220 -7.03959 0.00000", "-2.54253 -6.98555 0.00000",
                             "-2.56826 -7.05623 0.00000"}) {
    flatLegs.replace(flatLegs.find(offset), std::strlen(offset), "0 0 0");
  }
  EXPECT_EQ(fitText(*figure, flatLegs, 1).error, "capture: the legs have a length of zero");
  // Numbers that are not finite, or too large, refuse the file with their line.
  const size_t last = cmu.rfind('\n', cmu.size() - 2) + 1;
  const int lastLine = static_cast<int>(std::count(cmu.begin(), cmu.end(), '\n'));
  for (const char* bad : {"nan", "inf", "1e300"}) {
    std::string text = cmu;
    text.replace(last, text.find(' ', last) - last, bad);
    EXPECT_EQ(fitText(*figure, text, 1).error, "line " + std::to_string(lastLine) + ": \"" + bad +
                                                   "\" is not a number of magnitude at most 1e+06");
  }
  // One value short or one too many, and there is no frame 9.
  EXPECT_EQ(fitText(*figure, cmu.substr(0, cmu.find_last_of(' ')) + "\n", 1).error,
            "line " + std::to_string(lastLine + 1) + ": the file ends after 7 of its 8 frames");
  EXPECT_EQ(fitText(*figure, cmu + "0\n", 1).error, "line " + std::to_string(lastLine + 1) + ": the last frame has 1 of its 96 values");
  // A whole frame beyond the count is a frame too.
  const std::string ninth = cmu + cmu.substr(last);
  EXPECT_EQ(flat(fitText(*figure, ninth, 9).pose), flat(fitText(*figure, cmu, 8).pose));
  EXPECT_EQ(fitText(*figure, cmu, 9).error, "there is no frame 9: the file has 8");
  EXPECT_EQ(fitText(*figure, cmu, 8).error, "");
}

// The figure's own skeleton keeps the reading it always had, bit for bit.
TEST(CaptureFit, TheFiguresOwnSkeletonReadsAsEver) {
  auto figure = buildHumanoid();
  const capture::Fitting fitted = fitText(*figure, fixture("boxing-toes-cut.bvh"), 3);
  applyPose(*figure, fitted.pose);
  const std::string own = bvh::write(*figure).text;
  std::istringstream a(own), b(own);
  const bvh::Reading plain = bvh::read(*figure, a), dispatched = capture::readFrame(*figure, b);
  ASSERT_EQ(dispatched.error, "");
  EXPECT_EQ(flat(plain.pose), flat(dispatched.pose));
  EXPECT_EQ(flat(fitText(*figure, own, 1).pose), flat(plain.pose));
  std::istringstream c(fixture("cmu-01-01-cut.bvh"));
  EXPECT_EQ(capture::readFrame(*figure, c, 2).frames, 8);
}

// The figure's point a rig's joint stands at, turned to face +z: the
// figure's front (-x) onto +z, its left (+z) onto +x.
V facingZ(V v) { return {v.z, v.y, -v.x}; }

TEST(RigWriter, EveryJointLandsWhereTheFiguresOwnExportPutsItTurnedToFaceZ) {
  auto figure = buildHumanoid();
  applyPose(*figure, fitText(*figure, fixture("boxing-toes-cut.bvh"), 3).pose);  // every kind of joint turned
  const auto points = figurePoints(*figure, currentPose(*figure));
  for (const int family : {0, 1}) {
    const bvh::Writing w = rig::write(*figure, family == 0 ? rig::Family::Cmu : rig::Family::Mixamo);
    ASSERT_EQ(w.error, "");
    const Motion motion(w.text);
    const std::vector<V> at = motion.points(1);
    for (const auto& joint : bvh_cases::kRigJoints) {
      const int j = motion.index(joint[family]);
      ASSERT_LT(j, static_cast<int>(motion.names.size())) << joint[family];
      const V want = facingZ(points.at(joint[2]).first), got = at[j];
      EXPECT_NEAR(std::sqrt(dotOf(got - want, got - want)), 0, 1e-6) << joint[family];
    }
    // The hands' ends too.
    const V hand = at[motion.index(bvh_cases::kRigJoints[13][family]) + 1];
    const V want = facingZ(points.at("h_hand_left").second);
    EXPECT_NEAR(std::sqrt(dotOf(hand - want, hand - want)), 0, 1e-6);
  }
}

// The figure in the rigs' rest: every hinge at zero, the collarbones out
// and up to the shoulders, the upper arms straight out; and one more turn.
std::unique_ptr<Figure> tPosed(double leftForearmTwist = 0) {
  auto t = buildHumanoid();
  Pose pose = currentPose(*t);
  const std::vector<Segment*> all = t->segments();
  const double tilt = std::atan2(0.205, 0.15);
  for (size_t i = 0; i < all.size(); ++i) {
    const std::string name = all[i]->name;
    const double side = name.find("left") != std::string::npos ? 1 : -1;
    std::vector<double>& p = pose.params[i];
    std::fill(p.begin(), p.end(), 0.0);
    if (p.size() == 4 || p.size() == 7) p.back() = 1;
    if (name == "root") p[1] = 0.9;
    if (name.rfind("h_scapula", 0) == 0) p[1] = side * tilt;
    if (name.rfind("h_bicep", 0) == 0)
      p[0] = std::sin(-side * (tilt + kPi / 2) / 2), p[3] = std::cos(-side * (tilt + kPi / 2) / 2);
    if (name == "h_forearm_left") p[1] = leftForearmTwist;
  }
  applyPose(*t, pose);
  return t;
}

// At rest the arms lie along +-x, the legs hang down and the toes point to
// +z; the joints the figure lacks are never where their parents are.
TEST(RigWriter, TheRestIsATPoseFacingZ) {
  const Motion motion(rig::write(*buildHumanoid(), rig::Family::Cmu).text);
  std::vector<V> rest(motion.names.size());
  for (size_t j = 0; j < rest.size(); ++j) {
    rest[j] = motion.parents[j] < 0 ? motion.offsets[j] : rest[motion.parents[j]] + motion.offsets[j];
  }
  const auto at = [&](const std::string& name) { return rest[motion.index(name)]; };
  for (const std::string s : {"Left", "Right"}) {
    const double out = s == "Left" ? 1 : -1;
    const V arm = at(s + "Arm"), fore = at(s + "ForeArm"), hand = at(s + "Hand");
    EXPECT_NEAR(fore.y, arm.y, 1e-9);
    EXPECT_NEAR(hand.y, arm.y, 1e-9);
    EXPECT_NEAR(fore.z, arm.z, 1e-9);
    EXPECT_NEAR((fore.x - arm.x) * out, 0.31, 1e-6);
    EXPECT_NEAR((hand.x - fore.x) * out, 0.25, 1e-6);
    const V thigh = at(s + "UpLeg"), knee = at(s + "Leg"), ankle = at(s + "Foot");
    EXPECT_NEAR(knee.x, thigh.x, 1e-9);
    EXPECT_NEAR(ankle.z, thigh.z, 1e-9);
    EXPECT_NEAR(thigh.y - ankle.y, 0.425 + 0.405, 1e-6);
    EXPECT_GT(at(s + "ToeBase").z - ankle.z, 0.1);
    EXPECT_GT(arm.x * out, 0.15);
  }
  for (const char* lacking : {"LHipJoint", "RHipJoint", "LowerBack", "Spine", "Neck1", "LeftToeBase"}) {
    const V o = motion.offsets[motion.index(lacking)];
    EXPECT_GT(std::sqrt(dotOf(o, o)), 0.01) << lacking;
  }
  // The figure in that T-pose turns no joint of the rig, and the rig's
  // T-pose fits back to it, the root but for its facing.
  const auto t = tPosed();
  const std::string still = rig::write(*t, rig::Family::Cmu).text;
  const std::vector<double> channels = Motion(still).frames[0];
  for (size_t i = 3; i < channels.size(); ++i) EXPECT_NEAR(channels[i], 0, 1e-6) << i;
  const std::vector<double> posed = t->dofs(), back = flat(fitText(*buildHumanoid(), still, 1).pose);
  for (size_t i = 7; i < posed.size(); ++i) EXPECT_NEAR(back[i], posed[i], 1e-6) << i;
  // A forearm's twist is a turn of its bone about the bone itself, +x on the left.
  const Motion twisted(rig::write(*tPosed(-0.5), rig::Family::Cmu).text);
  size_t channel = 0;
  for (int j = 0; j < twisted.index("LeftForeArm"); ++j) channel += twisted.channels[j].size();
  EXPECT_EQ(twisted.channels[twisted.index("LeftForeArm")][1], "Xrotation");
  EXPECT_NEAR(twisted.frames[0][channel], 0, 1e-9);
  EXPECT_NEAR(twisted.frames[0][channel + 1], 0.5 * 180 / kPi, 1e-6);
  EXPECT_NEAR(twisted.frames[0][channel + 2], 0, 1e-9);
}

// Opened again, a rig's file fits back to the pose it was written from.
TEST(RigWriter, ARigsFileFitsBackToThePoseWithinADegree) {
  for (const char* file : {"cmu-01-01-cut.bvh", "boxing-toes-cut.bvh"}) {
    for (int frame : {2, 5, 7}) {
      auto figure = buildHumanoid();
      applyPose(*figure, fitText(*figure, fixture(file), frame).pose);
      const Body original = figureBody(*figure, currentPose(*figure));
      for (rig::Family family : {rig::Family::Cmu, rig::Family::Mixamo}) {
        auto other = buildHumanoid();
        const capture::Fitting back = fitText(*other, rig::write(*figure, family).text, 1);
        ASSERT_EQ(back.error, "");
        const Body fitted = figureBody(*other, back.pose);
        for (const char* limb : kLimbs) {
          EXPECT_LE(degreesBetween(fitted.direction(limb), original.direction(limb)), 1.0)
              << file << " " << frame << " " << limb << " " << (family == rig::Family::Cmu ? "cmu" : "mixamo");
        }
      }
    }
  }
}

}  // namespace
