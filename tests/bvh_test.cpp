// The BVH export and its reading: the layout other readers expect, with
// worked values; rotations checked against the textbook's matrices; export
// then import on the humanoid and on generated figures; figures and files
// refused, and why.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <iterator>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "bvh/bvh_cases.h"
#include "figure/ParamKinds.h"
#include "humanoid/Humanoid.h"
#include "ik_test_util.h"
#include "motion_kinematics.h"
#include "pose/BvhReader.h"
#include "pose/BvhWriter.h"
#include "random_figure.h"

namespace {

bvh::Reading readText(const Figure& f, const std::string& text, int frame = 1) {
  std::istringstream in(text);
  return bvh::read(f, in, frame);
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::vector<ParamKind> kindsOf(const Figure& f) {
  std::vector<ParamKind> kinds;
  for (const Segment* s : f.segments()) {
    const std::vector<ParamKind> k = paramKinds(*s->joint);
    kinds.insert(kinds.end(), k.begin(), k.end());
  }
  return kinds;
}

// The figure's own parameters and a reading's, equal within tolerance;
// a quaternion and its negation are the same turn.
void expectDofs(const Figure& f, const bvh::Reading& reading, double tolerance = 1e-9) {
  ASSERT_EQ(reading.error, "");
  std::vector<double> got;
  for (const std::vector<double>& p : reading.pose.params) got.insert(got.end(), p.begin(), p.end());
  const std::vector<ParamKind> kinds = kindsOf(f);
  const std::vector<double> want = f.dofs();
  ASSERT_EQ(got.size(), want.size());
  for (size_t k = 0; k < want.size(); ++k) {
    if (kinds[k] == ParamKind::QuatX) {
      double dot = 0;
      for (int c = 0; c < 4; ++c) dot += got[k + c] * want[k + c];
      if (dot < 0) {
        for (int c = 0; c < 4; ++c) got[k + c] = -got[k + c];
      }
    }
    EXPECT_NEAR(got[k], want[k], tolerance) << "parameter " << k;
  }
}

// Each joint's name and its CHANNELS words, in the file's order.
struct Channels {
  std::string joint;
  std::vector<std::string> names;
};
std::vector<Channels> channelsOf(const std::string& text) {
  std::vector<Channels> out;
  for (const std::string& line : linesOf(text)) {
    std::istringstream words(line);
    std::string first, second;
    words >> first >> second;
    if (first == "ROOT" || first == "JOINT") out.push_back({second, {}});
    for (std::string w; first == "CHANNELS" && words >> w;) out.back().names.push_back(w);
  }
  return out;
}

const char* const kHumanoidJoints[] = {
    "root",           "h_thigh_left", "h_shin_left",     "h_foot_left",   "h_thigh_right",   "h_shin_right",
    "h_foot_right",   "h_abdomen",    "h_spine",         "h_head",        "h_scapula_left",  "h_bicep_left",
    "h_forearm_left", "h_hand_left",  "h_scapula_right", "h_bicep_right", "h_forearm_right", "h_hand_right"};

}  // namespace

TEST(BvhWriter, TheHumanoidIsLaidOutAsReadersExpectWithWorkedValues) {
  auto f = buildHumanoid();
  const std::string text = bvh::write(*f).text;
  const std::vector<std::string> lines = linesOf(text);
  const std::vector<std::string> head = {
      "HIERARCHY", "ROOT root", "{", "\tOFFSET 0 0 0",
      "\tCHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation", "\tJOINT h_thigh_left",
      "\t{",
      // The pelvis folds into the root: its half width and depth are the thigh's offset.
      "\t\tOFFSET 0 -0.07 0.11", "\t\tCHANNELS 3 Zrotation Xrotation Yrotation", "\t\tJOINT h_shin_left"};
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + head.size()), head);
  EXPECT_NE(text.find("\tJOINT h_abdomen\n\t{\n\t\tOFFSET 0 0.07 0\n"), std::string::npos);
  EXPECT_NE(
      text.find("\t\t\tJOINT h_foot_left\n\t\t\t{\n\t\t\t\tOFFSET 0 -0.405 0\n\t\t\t\tCHANNELS 3 Zrotation "
                "Xrotation Yrotation\n\t\t\t\tEnd Site\n\t\t\t\t{\n\t\t\t\t\tOFFSET -0.18 0 0\n\t\t\t\t}\n"),
      std::string::npos);
  std::vector<std::string> joints;
  for (const Channels& c : channelsOf(text)) joints.push_back(c.joint);
  EXPECT_EQ(joints, std::vector<std::string>(std::begin(kHumanoidJoints), std::end(kHumanoidJoints)));
  ASSERT_EQ(lines.size(), 115u);
  EXPECT_EQ(lines[111], "MOTION");
  EXPECT_EQ(lines[112], "Frames: 1");
  EXPECT_EQ(lines[113], "Frame Time: 0.0333333");
  // 0.91 as a float; the shin's 0.2 rad and the scapula's -0.5 rad in degrees.
  EXPECT_EQ(lines[114].rfind(
                "0 0.910000026226 0 0 0 0 0 0 0 11.459155902616 0 0 11.459155902616 0 11.459155902616 ", 0),
            0u);
  EXPECT_NE(lines[114].find(" -28.647889756541 53.806792694435 0 "), std::string::npos);
  // No exponents, no carriage returns.
  EXPECT_EQ(lines[114].find_first_of("eE"), std::string::npos);
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(BvhWriter, ChannelsComposeAsRzRxRyAndHingePairsComeOutExact) {
  auto f = buildHumanoid();
  std::mt19937 rng(7);
  f->limitsEnabled = true;
  bvh_cases::poseAtRandom(*f, rng);
  const std::string text = bvh::write(*f).text;
  std::istringstream frame(linesOf(text).back());
  for (const Channels& c : channelsOf(text)) {
    SCOPED_TRACE(c.joint);
    const Segment* s = f->findSegment(c.joint.c_str());
    capture_test::M r = capture_test::turn('X', 0);
    double angles[3];
    for (size_t i = 0; i < c.names.size(); ++i) {
      double v;
      frame >> v;
      if (c.names[i].find("rotation") != std::string::npos) {
        r = capture_test::mul(r, capture_test::turn(c.names[i][0], v));
        angles[i - (c.names.size() - 3)] = v;
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
      EXPECT_NEAR(angles[0], p[0] * 180 / M_PI, 1e-10);
      EXPECT_NEAR(angles[x ? 1 : 2], p[1] * 180 / M_PI, 1e-10);
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
    const std::vector<ParamKind> kinds = kindsOf(*f);
    for (size_t k = 0; k < d.size() && i % 2 == 0 && i > 0; ++k) {
      if (kinds[k] >= ParamKind::AngleX && kinds[k] <= ParamKind::AngleZ)
        d[k] = std::uniform_real_distribution<double>(-7, 7)(rng);
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
  for (size_t at; (at = text.find("Zrotation Xrotation Yrotation")) != std::string::npos;) {
    text.replace(at, 29, "Xrotation Yrotation Zrotation");
  }
  // Rx(x) Ry(y) Rz(z) as the textbook breaks it down, to six decimals.
  std::ostringstream frame;
  frame.precision(6);
  frame << std::fixed;
  for (const char* name : kHumanoidJoints) {
    const Segment* s = f->findSegment(name);
    const Mat4& m = *s->joint->matrix();
    if (s == f->root.get()) frame << m[3] << " " << m[7] << " " << m[11] << " ";
    const double degrees = 180 / M_PI;
    frame << std::atan2(-m[6], m[10]) * degrees << " " << std::asin(m[2]) * degrees << " "
          << std::atan2(-m[1], m[0]) * degrees << " ";
  }
  text = text.substr(0, text.rfind('\n', text.size() - 2) + 1) + frame.str() + "\n";
  expectDofs(*f, readText(*f, text), 1e-6);
}

TEST(BvhReader, FrameOneIsTakenOrTheFrameAskedFor) {
  std::unique_ptr<Figure> f[3];
  std::string text;
  std::mt19937 rng(3);
  for (auto& figure : f) {
    figure = buildHumanoid();
    bvh_cases::poseAtRandom(*figure, rng);
    const std::string one = bvh::write(*figure).text;
    const size_t frame = one.rfind('\n', one.size() - 2) + 1;
    if (text.empty()) text = replaced(one.substr(0, frame), "Frames: 1", "Frames: 3");
    text += one.substr(frame);
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
// none, and the file is read as written: too small for a double is zero of
// its sign, and the limit is on the number as written, as the pose text
// reads them.
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
      {values, "\n0 0.91 1e400 ", "line 115: \"1e400\" is not a number of magnitude at most"},
      {values, "\n0 0.91 nan ", "line 115: \"nan\" is not a number of magnitude at most 1e+06"},
      {values, "\n0 1000001 0 ", "line 115: \"1000001\" is not a number"},
      {values, "\n0 0.910000026226 1000000.0000000001 ",
       "line 115: \"1000000.0000000001\" is not a number of magnitude at most 1e+06"},
      {values, "\n-1e-400 0.910000026226 0.1e-323 ", ""},
      {"\tOFFSET 0 0 0", "\tOFFSET 0.000001e-999 0 -1E-99999999999", ""},
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
  const size_t frame = text.rfind('\n', text.size() - 2) + 1;
  const std::string start = replaced(text.substr(0, frame), "Frames: 1", "Frames: 20000");
  Repeating frames(start, text.substr(frame), 20000);
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
