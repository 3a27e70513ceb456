// BVH files written and read, captures fitted onto the figure and the rigs'
// files, judged by a forward kinematics of the files written here, apart
// from the readers under test. The export keeps the layout other readers
// expect, with worked values, and reads back on the humanoid and on
// generated figures. A capture's limbs are judged against the figure's after
// both bodies are turned so that their hips agree. What a file or a capture
// lacks is refused in one line, by name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <streambuf>
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
#include "random_figure.h"

namespace {

using namespace capture_test;

bvh::Reading readText(const Figure& f, const std::string& text, int frame = 1) {
  std::istringstream in(text);
  return bvh::read(f, in, frame);
}

capture::Fitting fitText(const Figure& figure, const std::string& text, long frame) {
  std::istringstream in(text);
  const capture::Loading loading = capture::load(figure, in);
  if (!loading.error.empty()) return {{}, loading.error};
  return capture::fit(figure, *loading.capture, frame);
}

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string fixture(const std::string& name) { return fileText(std::string(MANNEQUIN_CAPTURES) + "/" + name); }

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::vector<double> flat(const Pose& pose) {
  std::vector<double> v;
  for (const auto& p : pose.params) v.insert(v.end(), p.begin(), p.end());
  return v;
}

// The figure's own parameters and a reading's, equal within tolerance.
void expectDofs(const Figure& f, const bvh::Reading& reading, double tolerance = 1e-9) {
  ASSERT_EQ(reading.error, "");
  const std::vector<double> got = bvh_cases::paramsLike(f, reading.pose.params), want = f.dofs();
  ASSERT_EQ(got.size(), want.size());
  for (size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(got[k], want[k], tolerance) << "parameter " << k;
}

// The text's last line, the first frame of a file the figure wrote.
size_t lastLine(const std::string& text) { return text.rfind('\n', text.size() - 2) + 1; }

// The humanoid's joints in the order of its export, which the reader's
// tests write their frames in.
const char* const kHumanoidJoints[] = {
    "root",           "h_thigh_left", "h_shin_left",     "h_foot_left",   "h_thigh_right",   "h_shin_right",
    "h_foot_right",   "h_abdomen",    "h_spine",         "h_head",        "h_scapula_left",  "h_bicep_left",
    "h_forearm_left", "h_hand_left",  "h_scapula_right", "h_bicep_right", "h_forearm_right", "h_hand_right"};

}  // namespace

TEST(BvhWriter, TheHumanoidIsLaidOutAsReadersExpectWithWorkedValues) {
  auto f = buildHumanoid();
  const std::string text = bvh::write(*f).text;
  const std::string head =
      "HIERARCHY\nROOT root\n{\n\tOFFSET 0 0 0\n"
      "\tCHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n\tJOINT h_thigh_left\n\t{\n"
      // The pelvis folds into the root: its half width and depth are the thigh's offset.
      "\t\tOFFSET 0 -0.07 0.11\n\t\tCHANNELS 3 Zrotation Xrotation Yrotation\n\t\tJOINT h_shin_left\n";
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_NE(text.find("\tJOINT h_abdomen\n\t{\n\t\tOFFSET 0 0.07 0\n"), std::string::npos);
  EXPECT_NE(
      text.find("\t\t\tJOINT h_foot_left\n\t\t\t{\n\t\t\t\tOFFSET 0 -0.405 0\n\t\t\t\tCHANNELS 3 Zrotation "
                "Xrotation Yrotation\n\t\t\t\tEnd Site\n\t\t\t\t{\n\t\t\t\t\tOFFSET -0.18 0 0\n\t\t\t\t}\n"),
      std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 115);
  // 0.91 as a float; the shin's 0.2 rad and the scapula's -0.5 rad in degrees.
  const std::string frame = text.substr(lastLine(text));
  EXPECT_EQ(text.substr(text.rfind("MOTION")), "MOTION\nFrames: 1\nFrame Time: 0.0333333\n" + frame);
  EXPECT_EQ(frame.rfind("0 0.910000026226 0 0 0 0 0 0 0 11.459155902616 0 0 11.459155902616 0 "
                        "11.459155902616 ", 0),
            0u);
  EXPECT_NE(frame.find(" -28.647889756541 53.806792694435 0 "), std::string::npos);
  // No exponents, no carriage returns.
  EXPECT_EQ(frame.find_first_of("eE"), std::string::npos);
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(BvhWriter, ChannelsComposeAsRzRxRyAndHingePairsComeOutExact) {
  auto f = buildHumanoid();
  std::mt19937 rng(7);
  f->limitsEnabled = true;
  bvh_cases::poseAtRandom(*f, rng);
  const Motion motion(bvh::write(*f).text);
  const std::vector<double>& frame = motion.frames[0];
  for (size_t j = 0, k = 0; j < motion.names.size(); ++j) {
    if (motion.names[j].empty()) continue;  // an end site
    SCOPED_TRACE(motion.names[j]);
    const Segment* s = f->findSegment(motion.names[j].c_str());
    M r = turn('X', 0);
    std::vector<double> angles;
    for (const std::string& channel : motion.channels[j]) {
      if (channel[1] == 'p') {
        ++k;
      } else {
        r = mul(r, turn(channel[0], frame[k]));
        angles.push_back(frame[k++]);
      }
    }
    const Mat4& m = *s->joint->matrix();
    for (int row = 0; row < 3; ++row)
      for (int col = 0; col < 3; ++col) EXPECT_NEAR(r[3 * row + col], m[4 * row + col], 1e-6);
    // The pairs turn about z then x (scapulae) or z then y (feet, forearms):
    // their Y or X channel is an exact zero, the others their angles.
    if (paramKinds(*s->joint).size() == 2) {
      const bool x = paramKinds(*s->joint)[1] == ParamKind::AngleX;
      double p[2];
      s->joint->getParams(p);
      EXPECT_EQ(angles[x ? 2 : 1], 0.0);
      EXPECT_NEAR(angles[0], p[0] * 180 / kPi, 1e-10);
      EXPECT_NEAR(angles[x ? 1 : 2], p[1] * 180 / kPi, 1e-10);
    }
  }
}

// The humanoid, half within the limits and half without, where hinges go
// past 180 degrees; and generated figures, which the format holds or which
// are refused with one line.
TEST(BvhRoundTrip, FiguresComeBackWithinANanoradianOrAreRefusedWithOneLine) {
  auto f = buildHumanoid();
  std::mt19937 rng(11);
  for (int i = 0; i < 21; ++i) {
    f->limitsEnabled = i % 2;
    if (i > 0) bvh_cases::poseAtRandom(*f, rng);  // the start pose first
    std::vector<double> d = f->dofs();
    size_t k = 0;
    for (const Segment* s : f->segments()) {
      for (const ParamKind kind : paramKinds(*s->joint)) {
        if (kind >= ParamKind::AngleX && kind <= ParamKind::AngleZ && i % 2 == 0 && i > 0)
          d[k] = std::uniform_real_distribution<double>(-7, 7)(rng);
        ++k;
      }
    }
    f->setDofs(d);
    expectDofs(*f, readText(*f, bvh::write(*f).text));
  }
  int written = 0, refused = 0;
  for (std::uint32_t seed = 1; seed <= 3000; ++seed) {
    SCOPED_TRACE(testing::Message() << "figure seed " << seed);
    RandomFigure r(seed);
    bvh_cases::poseAtRandom(r.figure(), r.random());
    const bvh::Writing w = bvh::write(r.figure());
    if (w.error.empty()) {
      ++written;
      expectDofs(r.figure(), readText(r.figure(), w.text));
    } else {
      ++refused;
      EXPECT_EQ(w.error.rfind("cannot write BVH: segment \"s", 0), 0u) << w.error;
      EXPECT_EQ(w.error.find('\n'), std::string::npos);
    }
  }
  EXPECT_GT(written, 100);
  EXPECT_GT(refused, 100);
}

namespace {

// A joint of a kind that BVH has no channel for: a shear, whose one
// parameter is of no matter here.
class Shear final : public IdentityTransform {
 public:
  Shear() { m[1] = 0.5f; }
  int dofCount() const override { return 1; }
  const double* setParams(const double* p) override { return p + 1; }
  double* getParams(double* p) const override { return *p = 0.5, p + 1; }
  std::unique_ptr<Transform> clone() const override { return std::make_unique<Shear>(); }
};

std::unique_ptr<Transform> hinge(int axis, double angle) {
  return std::make_unique<AxisRotation>(axis, angle, -4, 4);
}

// A root that turns and cannot move, and a limb on the given joint.
std::unique_ptr<Figure> limbOn(std::unique_ptr<Transform> joint, Vec3 end = Vec3(0, -0.3f, 0.1f),
                               std::unique_ptr<Transform> rootJoint = std::make_unique<QuatRotation>(0.3, 0.2,
                                                                                                     0.1)) {
  auto root = std::make_unique<Segment>(0, "base", Vec3(0, 0.5f, 0), std::move(rootJoint));
  root->addChild(std::make_unique<Segment>(1, "limb", end, std::move(joint)));
  return std::make_unique<Figure>(std::move(root));
}

}  // namespace

TEST(BvhWriter, WhatTheFormatCannotHoldIsRefusedWithOneLine) {
  const std::pair<std::unique_ptr<Figure>, const char*> cases[] = {
      {limbOn(std::make_unique<Translation>(0.1f, 0, 0)), "has a translation, which only the root may have"},
      {limbOn(std::make_unique<Shear>()), "has a joint of a kind other than"},
      {limbOn(TransformChain::of(hinge(0, 1), hinge(1, 1), hinge(2, 1))), "has more than two hinges"},
      {limbOn(TransformChain::of(std::make_unique<QuatRotation>(), hinge(1, 1))),
       "has a quaternion with another"},
      {limbOn(TransformChain::of(hinge(1, 1), hinge(1, 1))), "has two hinges about the same axis"},
      {limbOn(hinge(3, 1)), "has a hinge about no axis"},
      {limbOn(hinge(2, 1), Vec3()), "ends where it begins"},
  };
  for (const auto& [figure, why] : cases) {
    const bvh::Writing w = bvh::write(*figure);
    EXPECT_EQ(w.error.rfind(std::string("cannot write BVH: segment \"limb\" ") + why, 0), 0u) << w.error;
    EXPECT_EQ(w.error.find('\n'), std::string::npos);
  }
}

TEST(BvhWriter, AHingePairThatZXYCannotHoldHasItsOwnOrder) {
  auto f = limbOn(TransformChain::of(hinge(1, 3.5), hinge(2, -1)));
  const std::string text = bvh::write(*f).text;
  EXPECT_NE(text.find("\t\tCHANNELS 3 Yrotation Zrotation Xrotation\n"), std::string::npos);
  EXPECT_NE(text.find(" 200.535228295788 -57.295779513082 0\n"), std::string::npos) << text;
  expectDofs(*f, readText(*f, text));  // 3.5 rad, past 180 degrees, read as it was written
}

TEST(BvhReader, AnotherRotationOrderAndPrecisionGiveTheSamePose) {
  auto f = buildHumanoid();
  std::mt19937 rng(5);
  f->limitsEnabled = true;
  bvh_cases::poseAtRandom(*f, rng);
  std::string text = bvh::write(*f).text;
  text = std::regex_replace(text, std::regex("Zrotation Xrotation Yrotation"), "Xrotation Yrotation Zrotation");
  // Rx(x) Ry(y) Rz(z) as the textbook breaks it down, to six decimals.
  std::ostringstream frame;
  frame.precision(6);
  frame << std::fixed;
  for (const char* name : kHumanoidJoints) {
    const Segment* s = f->findSegment(name);
    const Mat4& m = *s->joint->matrix();
    if (s == f->root.get()) frame << m[3] << " " << m[7] << " " << m[11] << " ";
    const double degrees = 180 / kPi;
    frame << std::atan2(-m[6], m[10]) * degrees << " " << std::asin(m[2]) * degrees << " "
          << std::atan2(-m[1], m[0]) * degrees << " ";
  }
  expectDofs(*f, readText(*f, text.substr(0, lastLine(text)) + frame.str() + "\n"), 1e-6);
}

TEST(BvhReader, FrameOneIsTakenOrTheFrameAskedFor) {
  std::unique_ptr<Figure> f[3];
  std::string text;
  std::mt19937 rng(3);
  for (auto& figure : f) {
    figure = buildHumanoid();
    bvh_cases::poseAtRandom(*figure, rng);
    const std::string one = bvh::write(*figure).text;
    if (text.empty()) text = replaced(one.substr(0, lastLine(one)), "Frames: 1", "Frames: 3");
    text += one.substr(lastLine(one));
  }
  for (int i = 0; i < 3; ++i) expectDofs(*f[i], readText(*f[0], text, i + 1));
  EXPECT_EQ(readText(*f[0], text).frames, 3);
  EXPECT_EQ(readText(*f[0], text, 4).error, "line 113: there is no frame 4: the file has 3");
  // Frame 1 is fine, the last is not: nothing is read.
  const bvh::Reading bad = readText(*f[0], text.substr(0, text.size() - 1) + " 1\n");
  EXPECT_EQ(bad.error, "line 117: frame 3 has 58 values, and the channels are 57");
  EXPECT_TRUE(bad.pose.params.empty());
}

// Each change to a good file, and the start of the refusal it makes; or
// none, and the file is read as written.
TEST(BvhReader, AMalformedFileIsRefusedWithItsLineNumber) {
  auto f = buildHumanoid();
  const std::string good = bvh::write(*f).text;
  const std::string values = "\n0 0.910000026226 0 ";
  // The left shin's channels come after the root's six and the thigh's three.
  const std::string shin = "0 0 0 0 11.459155902616 0 0 ", pair = "-28.647889756541 53.806792694435 0 ";
  const std::string cases[][3] = {
      {"HIERARCHY", "HIERARCHIE", "line 1: expected HIERARCHY, not \"HIERARCHIE\""},
      // Another skeleton, a motion-capture library's say, is refused by its first joint.
      {"ROOT root", "ROOT Hips", "line 2: the figure has no joint \"Hips\""},
      {"\tOFFSET 0 0 0", "\tOFFSET 0 0.91 0",
       "line 4: joint \"root\" has the OFFSET 0 0.91 0, not the figure's 0 0 0"},
      {"OFFSET 0 -0.07 0.11", "OFFSET 0 -0.0702 0.11",
       "line 8: joint \"h_thigh_left\" has the OFFSET 0 -0.0702 0.11,"},
      {"OFFSET 0 -0.07 0.11", "OFFSET 0 -0.07009 0.11", ""},
      {"Xrotation Yrotation\n\t\tJOINT h_shin_left", "Xrotation Wrotation\n\t\tJOINT h_shin_left",
       "line 9: \"Wrotation\" is not a channel"},
      {"\t\tCHANNELS 3", "\t\tCHANNELS 7", "line 9: \"7\" is not a whole number from 0 to 6"},
      {"\t\tJOINT h_shin_left", "\t\tJOINT Knee", "line 10: the figure has no joint \"Knee\""},
      {"\tJOINT h_abdomen", "\tJOINT h_shin_left", "line 44: joint \"h_shin_left\" is given twice"},
      {"\t\tJOINT h_spine", "\t\tJOINT h_head",
       "line 48: joint \"h_head\" is under \"h_abdomen\" here, under"},
      {"End Site", "End Sight", "line 18: expected Site, not \"Sight\""},
      {"Frames: 1", "Frames: 2", "line 115: the file ends after 1 of its 2 frames"},
      {"Frame Time: 0.0333333", "Frame Time: 0", "line 114: the frame time \"0\" is not above zero"},
      {"Frame Time: 0.0333333", "Frame Time: 1e-400",
       "line 114: the frame time \"1e-400\" is not above zero"},
      // Numbers read as the pose text reads them: too large refused, too small zero.
      {values, "\n0 0.91 nan ", "line 115: \"nan\" is not a number of magnitude at most 1e+06"},
      {values, "\n-1e-400 0.910000026226 0.1e-323 ", ""},
      {values, "\n0 0.91 ", "line 115: frame 1 has 56 values, and the channels are 57"},
      {"\nMOTION", "\n}\nMOTION", "line 112: expected MOTION, not \"}\""},
      {"\nMOTION", "", "line 111: the file ends before its frames"},
      // What a joint cannot hold is refused by its name, beyond rounding.
      {shin, "0 0 0 0 11.459155902616 1 0 ",
       "line 115: joint \"h_shin_left\" turns about z alone, and frame 1 turns it 1 degrees besides"},
      {shin, "0 0 0 0 11.459155902616 0.00005 0 ", ""},
      {pair, "-28.647889756541 53.806792694435 0.1 ",
       "line 115: joint \"h_scapula_left\" turns about z then x, and frame 1 turns it 0.059"},
  };
  for (const auto& [from, to, error] : cases) {
    SCOPED_TRACE(to);
    const std::string text = to.empty() ? good.substr(0, good.find(from)) : replaced(good, from, to);
    const bvh::Reading r = readText(*f, text);
    if (error.empty()) {
      expectDofs(*f, r);
      continue;
    }
    EXPECT_EQ(r.error.rfind(error, 0), 0u) << r.error;
    EXPECT_EQ(r.error.find('\n'), std::string::npos);
    EXPECT_TRUE(r.pose.params.empty());
  }
  EXPECT_EQ(readText(*f, "").error, "the file is empty");
  // A root that cannot move, or cannot turn.
  auto fixedRoot = limbOn(hinge(0, 1));
  const std::string moved = replaced(bvh::write(*fixedRoot).text, "\n0 0.5 0 ", "\n0 0.5001 0 ");
  EXPECT_EQ(readText(*fixedRoot, moved).error,
            "line 19: joint \"base\" cannot move, and frame 1 moves it by 0.0001 m");
  auto stiffRoot = limbOn(hinge(0, 1), Vec3(0, 1, 0), std::make_unique<Translation>(0, 0, 0));
  const std::string turned = replaced(bvh::write(*stiffRoot).text, "\n0 0.5 0 0 0 0", "\n0 0.5 0 0 0 2");
  EXPECT_EQ(readText(*stiffRoot, turned).error,
            "line 19: joint \"base\" cannot turn, and frame 1 turns it 2 degrees besides");
}

namespace {

// A file that is never whole in memory, as a pipe gives it: its start, then
// one line again and again.
class Repeating : public std::streambuf {
 public:
  Repeating(std::string start, std::string line, long times)
      : start(std::move(start)), line(std::move(line)), left(times) {}

 protected:
  int_type underflow() override {
    std::string& next = started ? line : start;
    if (started && left-- <= 0) return traits_type::eof();
    started = true;
    setg(next.data(), next.data(), next.data() + next.size());
    return traits_type::to_int_type(*gptr());
  }

 private:
  std::string start, line;
  long left;
  bool started = false;
};

}  // namespace

TEST(BvhReader, AFileIsStreamedAndRefusedBeyondTheSizeLimit) {
  auto f = buildHumanoid();
  std::mt19937 rng(9);
  bvh_cases::poseAtRandom(*f, rng);
  const std::string text = bvh::write(*f).text;
  const size_t frame = lastLine(text);
  Repeating frames(replaced(text.substr(0, frame), "Frames: 1", "Frames: 20000"), text.substr(frame), 20000);
  std::istream many(&frames);
  expectDofs(*f, bvh::read(*f, many, 20000));

  // Streamed, the limit holds to the byte: blank lines up to it, then one more.
  for (const size_t extra : {size_t{0}, size_t{1}}) {
    const size_t piece = (1 << 20) + 1, pad = bvh::kSizeLimit + extra - text.size();
    Repeating blank(text + std::string(pad % piece, ' '), std::string(piece - 1, ' ') + "\n", long(pad / piece));
    std::istream streamed(&blank);
    const bvh::Reading reading = bvh::read(*f, streamed);
    if (extra) {
      EXPECT_EQ(reading.error, "the file is larger than the 67108864 bytes a BVH file may have");
    } else {
      expectDofs(*f, reading);
    }
  }
  std::istringstream seekable(text + std::string(bvh::kSizeLimit + 1 - text.size(), '\n'));
  EXPECT_EQ(bvh::read(*f, seekable).error,
            "the file is 67108865 bytes, more than the 67108864 a BVH file may have");
  std::istringstream atTheLimit(text + std::string(bvh::kSizeLimit - text.size(), '\n'));
  expectDofs(*f, bvh::read(*f, atTheLimit));
}

namespace {

// Where the figure's segments begin and end once posed.
std::map<std::string, std::pair<V, V>> figurePoints(Figure& figure, const Pose& pose) {
  applyPose(figure, pose);
  const std::vector<Mat4> frames = bvh_cases::worldFrames(figure);
  const std::vector<Segment*> segments = figure.segments();
  std::map<std::string, std::pair<V, V>> out;
  for (size_t i = 0; i < segments.size(); ++i) {
    const Vec3 o = transformPoint(frames[i], Vec3()), e = transformPoint(frames[i], segments[i]->endOffset);
    out[segments[i]->name] = {{o.x, o.y, o.z}, {e.x, e.y, e.z}};
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
    return lengthOf(b - a);
  }
};

const char* const kLimbs[] = {"left thigh", "left shin", "left foot", "right thigh", "right shin", "right foot",
                              "left upper arm", "left forearm", "left hand", "right upper arm",
                              "right forearm", "right hand", "trunk", "head"};

Body figureBody(const std::map<std::string, std::pair<V, V>>& p) {
  Body b;
  const char* segments[] = {"h_thigh_left", "h_shin_left", "h_foot_left", "h_thigh_right", "h_shin_right",
                            "h_foot_right", "h_bicep_left", "h_forearm_left", "h_hand_left", "h_bicep_right",
                            "h_forearm_right", "h_hand_right"};
  for (int i = 0; i < 12; ++i) b.limbs[kLimbs[i]] = p.at(segments[i]);
  b.limbs["trunk"] = {p.at("root").first, p.at("h_spine").second};
  b.limbs["head"] = p.at("h_head");
  b.hips = p.at("root").first, b.neck = p.at("h_spine").second;
  b.leftHip = p.at("h_thigh_left").first, b.rightHip = p.at("h_thigh_right").first;
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
  double farthest = 0;
  std::string farthestWhere;
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
      const Body f = figureBody(figurePoints(*figure, fitting.pose));
      // Clamping would have changed a hinge; the rest come back as given,
      // the root's place to a float.
      const std::vector<double> want = flat(fitting.pose), held = figure->dofs();
      for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(held[i], want[i], 1e-7) << where << " " << i;
      const Body c = captureBody(motion, names, frame);
      for (const char* limb : kLimbs) {
        angles.push_back(degreesBetween(f.direction(limb), c.direction(limb)));
        if (reachable(c, limb)) allowed.push_back(angles.back());
      }
      const auto legOf = [&](const Body& b) { return b.length("left thigh") + b.length("left shin"); };
      const auto armOf = [&](const Body& b) {
        return (b.length("left upper arm") + b.length("left forearm")) / legOf(b);
      };
      for (const auto& [limb, base, joint] :
           {std::tuple{"left hand", "left upper arm", "left forearm"},
            std::tuple{"right hand", "right upper arm", "right forearm"},
            std::tuple{"left foot", "left thigh", "left shin"},
            std::tuple{"right foot", "right thigh", "right shin"}}) {
        if (!reachable(c, joint)) continue;
        const V fp = f.inHips(f.limbs.at(limb).first - f.limbs.at(base).first) * (1 / legOf(f));
        const V cp = c.inHips(c.limbs.at(limb).first - c.limbs.at(base).first) * (1 / legOf(c));
        // An arm longer than the capture's, for its legs, reaches further
        // by the difference, bend it as it may.
        const bool hand = std::string(limb).find("hand") != std::string::npos;
        const double longer = hand ? std::fabs(armOf(f) - armOf(c)) : 0;
        const double d = lengthOf(fp - cp) - longer;
        if (d > farthest) farthest = d, farthestWhere = where + " " + limb;
      }
    }
  }
  ASSERT_FALSE(allowed.empty());
  std::cout << angles.size() / 14 << " frames: median " << percentile(angles, 0.5)
            << " degrees, 90th percentile where limits allow " << percentile(allowed, 0.9) << ", "
            << allowed.size() << " of " << angles.size() << " limbs within limits; wrists and ankles at most "
            << farthest << " leg lengths off (" << farthestWhere << ")\n";
  EXPECT_LE(percentile(angles, 0.5), 5.0);
  EXPECT_LE(percentile(allowed, 0.9), 15.0);
  EXPECT_LE(farthest, 0.1);
}

}  // namespace

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

namespace {

// The text with each joint named from renamed as to, whole names only.
std::string renamed(std::string text, const std::map<std::string, std::string>& names) {
  for (const auto& [from, to] : names) {
    text = std::regex_replace(text, std::regex("(ROOT|JOINT) " + from + "\\b"), "$1 " + to);
  }
  return text;
}

}  // namespace

// Renamed copies of a frame fit as the frame does, silently, onto a figure
// that held another pose, a handle and its limits: none of it plays a part.
TEST(CaptureFit, RenamedCopiesFitTheSameWhateverTheFigureHeld) {
  auto fresh = buildHumanoid(), used = buildHumanoid();
  applyPose(*used, fitText(*used, fixture("boxing-toes-cut.bvh"), 5).pose);
  Handle handle;
  used->addHandle(&handle, used->findSegment("h_hand_left"));
  used->limitsEnabled = true;
  const std::string cmu = fixture("cmu-01-03-cut.bvh");
  // Mixamo's names are CMU's behind its prefix, but for the spine and the fingers.
  std::map<std::string, std::string> mixamo;
  for (const std::string& name : Motion(cmu).names) mixamo[name] = bvh_cases::mixamoName(name);
  mixamo.erase("");  // the end sites
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
  testing::internal::CaptureStdout();
  for (int frame : {1, 4, 8}) {
    const capture::Fitting original = fitText(*fresh, cmu, frame);
    ASSERT_EQ(original.error, "");
    EXPECT_TRUE(original.pose.pins.empty());
    for (const auto& names : {mixamo, daz}) {
      const capture::Fitting copy = fitText(*used, renamed(cmu, names), frame);
      ASSERT_EQ(copy.error, "") << names.at("Hips");
      const std::vector<double> a = flat(original.pose), b = flat(copy.pose);
      ASSERT_EQ(a.size(), b.size());
      for (size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], 1e-12) << names.at("Hips") << " " << i;
    }
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  used->removeHandle(&handle);
}

TEST(CaptureFit, WhatACaptureLacksIsRefusedByName) {
  auto figure = buildHumanoid();
  const std::string cmu = fixture("cmu-01-01-cut.bvh");
  EXPECT_EQ(fitText(*figure, renamed(cmu, {{"LeftUpLeg", "LeftThighBone"}}), 1).error,
            "capture: no left thigh (LeftUpLeg, lThigh, LeftHip or mixamorig:LeftUpLeg)");
  EXPECT_EQ(fitText(*figure, renamed(cmu, {{"RightForeArm", "RightLowerArm"}}), 1).error,
            "capture: no right forearm (RightForeArm, rForeArm, RightElbow or mixamorig:RightForeArm)");
  // Legs of no length: every offset from the thighs to the feet zero.
  const std::regex legs("2\\.44811 -6\\.72613 0\\.00000|2\\.56220 -7\\.03959 0\\.00000|"
                        "-2\\.54253 -6\\.98555 0\\.00000|-2\\.56826 -7\\.05623 0\\.00000");
  EXPECT_EQ(fitText(*figure, std::regex_replace(cmu, legs, "0 0 0"), 1).error,
            "capture: the legs have a length of zero");
  // A number that is not finite refuses the file with its line.
  const size_t last = lastLine(cmu);
  const long lines = std::count(cmu.begin(), cmu.end(), '\n');
  EXPECT_EQ(fitText(*figure, cmu.substr(0, last) + "inf" + cmu.substr(cmu.find(' ', last)), 1).error,
            "line " + std::to_string(lines) + ": \"inf\" is not a number of magnitude at most 1e+06");
  // One value short or one too many, and there is no frame 9.
  const std::string after = "line " + std::to_string(lines + 1);
  EXPECT_EQ(fitText(*figure, cmu.substr(0, cmu.find_last_of(' ')) + "\n", 1).error,
            after + ": the file ends after 7 of its 8 frames");
  EXPECT_EQ(fitText(*figure, cmu + "0\n", 1).error, after + ": the last frame has 1 of its 96 values");
  // A whole frame beyond the count is a frame too.
  EXPECT_EQ(flat(fitText(*figure, cmu + cmu.substr(last), 9).pose), flat(fitText(*figure, cmu, 8).pose));
  EXPECT_EQ(fitText(*figure, cmu, 9).error, "there is no frame 9: the file has 8");
  EXPECT_EQ(fitText(*figure, cmu, 8).error, "");
}

// The figure's own skeleton keeps the reading it always had, bit for bit.
TEST(CaptureFit, TheFiguresOwnSkeletonReadsAsEver) {
  auto figure = buildHumanoid();
  applyPose(*figure, fitText(*figure, fixture("boxing-toes-cut.bvh"), 3).pose);
  const std::string own = bvh::write(*figure).text;
  std::istringstream a(own);
  const bvh::Reading plain = readText(*figure, own), dispatched = capture::readFrame(*figure, a);
  ASSERT_EQ(dispatched.error, "");
  EXPECT_EQ(flat(plain.pose), flat(dispatched.pose));
  EXPECT_EQ(flat(fitText(*figure, own, 1).pose), flat(plain.pose));
  std::istringstream c(fixture("cmu-01-01-cut.bvh"));
  EXPECT_EQ(capture::readFrame(*figure, c, 2).frames, 8);
}

// Opened again, a rig's file fits back to the pose it was written from, and
// every joint of the rig stands where the figure's own export puts it,
// turned to face +z: the figure's front (-x) onto +z, its left (+z) onto +x.
TEST(RigWriter, EveryJointLandsWhereTheFiguresOwnExportPutsItAndFitsBackWithinADegree) {
  const auto facingZ = [](V v) { return V{v.z, v.y, -v.x}; };
  for (const char* file : {"cmu-01-01-cut.bvh", "boxing-toes-cut.bvh"}) {
    for (int frame : {2, 3, 5, 7}) {
      SCOPED_TRACE(testing::Message() << file << " frame " << frame);
      auto figure = buildHumanoid();
      const auto points = figurePoints(*figure, fitText(*figure, fixture(file), frame).pose);
      const Body original = figureBody(points);
      for (const int family : {0, 1}) {
        const bvh::Writing w = rig::write(*figure, family == 0 ? rig::Family::Cmu : rig::Family::Mixamo);
        ASSERT_EQ(w.error, "");
        const Motion motion(w.text);
        const std::vector<V> at = motion.points(1);
        for (const auto& [cmu, segment] : bvh_cases::kRigJoints) {
          const std::string name = family == 0 ? cmu : bvh_cases::mixamoName(cmu);
          const int j = motion.index(name);
          ASSERT_LT(j, static_cast<int>(motion.names.size())) << name;
          EXPECT_NEAR(lengthOf(at[j] - facingZ(points.at(segment).first)), 0, 1e-6) << name;
        }
        // The hands' ends too.
        const V hand = at[motion.index(family == 0 ? "LeftHand" : "mixamorig:LeftHand") + 1];
        EXPECT_NEAR(lengthOf(hand - facingZ(points.at("h_hand_left").second)), 0, 1e-6);
        auto other = buildHumanoid();
        const capture::Fitting back = fitText(*other, w.text, 1);
        ASSERT_EQ(back.error, "");
        const Body fitted = figureBody(figurePoints(*other, back.pose));
        for (const char* limb : kLimbs) {
          EXPECT_LE(degreesBetween(fitted.direction(limb), original.direction(limb)), 1.0) << limb << family;
        }
      }
    }
  }
}

namespace {

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

}  // namespace

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
    EXPECT_NEAR(lengthOf(fore - arm - V{0.31 * out, 0, 0}), 0, 1e-6);
    EXPECT_NEAR(lengthOf(hand - fore - V{0.25 * out, 0, 0}), 0, 1e-6);
    const V thigh = at(s + "UpLeg"), knee = at(s + "Leg"), ankle = at(s + "Foot");
    EXPECT_NEAR(knee.x, thigh.x, 1e-9);
    EXPECT_NEAR(ankle.z, thigh.z, 1e-9);
    EXPECT_NEAR(thigh.y - ankle.y, 0.425 + 0.405, 1e-6);
    EXPECT_GT(at(s + "ToeBase").z - ankle.z, 0.1);
    EXPECT_GT(arm.x * out, 0.15);
  }
  for (const char* lacking : {"LHipJoint", "RHipJoint", "LowerBack", "Spine", "Neck1", "LeftToeBase"}) {
    EXPECT_GT(lengthOf(motion.offsets[motion.index(lacking)]), 0.01) << lacking;
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
