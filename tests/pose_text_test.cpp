// A pose written as text and read back: the same pose bit for bit, on the
// humanoid and on generated figures; and every kind of bad text refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>

#include "figure/ParamKinds.h"
#include "figure/PoseText.h"
#include "ik/Solver.h"
#include "ik_test_util.h"
#include "random_figure.h"

namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// Joint parameters as the joints hold them, segment by segment.
std::vector<std::vector<double>> heldParams(const Figure& f) { return currentPose(f).params; }

// Equal bit for bit, but for a quaternion's components, which the joint
// normalises again: those to the last bit or two.
void expectSameParams(const Figure& f, const std::vector<std::vector<double>>& a,
                      const std::vector<std::vector<double>>& b) {
  const std::vector<Segment*> all = f.segments();
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    const std::vector<ParamKind> kinds = paramKinds(*all[i]->joint);
    ASSERT_EQ(a[i].size(), b[i].size());
    for (size_t k = 0; k < a[i].size(); ++k) {
      const bool quaternion = kinds[k] >= ParamKind::QuatX && kinds[k] <= ParamKind::QuatW;
      if (quaternion) {
        EXPECT_NEAR(a[i][k], b[i][k], 4e-16) << all[i]->name << " parameter " << k;
      } else {
        EXPECT_EQ(0, std::memcmp(&a[i][k], &b[i][k], sizeof(double))) << all[i]->name << " parameter " << k;
      }
    }
  }
}

// Writes the figure's pose, scrambles the figure, reads the text back and
// applies it: the figure must hold what it held before.
void expectRoundTrip(Figure& f, std::vector<std::unique_ptr<Handle>>& records) {
  const std::string text = pose_text::write(f);
  const std::vector<std::vector<double>> before = heldParams(f);
  std::vector<std::unique_ptr<Handle>> originals = std::move(records);
  Pose copy = currentPose(f);  // the figure's handles as they were, for comparison
  const pose_text::Reading reading = pose_text::read(f, text);
  ASSERT_EQ(reading.error, "") << text;

  records = applyPose(f, reading.pose);
  expectSameParams(f, before, heldParams(f));
  ASSERT_EQ(copy.pins.size(), static_cast<size_t>(f.handleCount()));
  size_t i = 0;
  for (const HandleEntry& e : f.handles) {
    EXPECT_EQ(e.segment, copy.pins[i].segment);
    EXPECT_EQ(0, std::memcmp(&e.handle->localPos, &copy.pins[i].localPos, sizeof(Vec3)));
    EXPECT_EQ(0, std::memcmp(&e.handle->targetPos, &copy.pins[i].targetPos, sizeof(Vec3)));
    ++i;
  }
}

class PoseText : public testing::Test {
 protected:
  PoseText() : f(buildHumanoid()), pins(*f) {
    hand = pins.atEnd("h_hand_left");
    pins.atEnd("h_foot_right");
    hand->targetPos = Vec3(-0.25f, 1.55f, 0.45f);
    f->solve(hand);
  }

  std::unique_ptr<Figure> f;
  Pins pins;
  Handle* hand;
};

}  // namespace

TEST_F(PoseText, TheTextIsTheHeaderThenEverySegmentThenEveryHandle) {
  const std::vector<std::string> lines = linesOf(pose_text::write(*f));
  ASSERT_EQ(lines.size(), 1u + 21 + 2);
  EXPECT_EQ(lines[0], "mannequin pose 1");
  const std::vector<Segment*> all = f->segments();
  for (size_t i = 0; i < all.size(); ++i) {
    std::istringstream words(lines[1 + i]);
    std::string name;
    words >> name;
    EXPECT_EQ(name, all[i]->name);
    int values = 0;
    for (std::string w; words >> w;) ++values;
    EXPECT_EQ(values, all[i]->joint->dofCount()) << name;
  }
  EXPECT_EQ(lines[2], "h_pelvis_left");  // no parameters, nothing after the name
  EXPECT_EQ(lines[22].rfind("handle h_hand_left ", 0), 0u);
  EXPECT_EQ(lines[23].rfind("handle h_foot_right ", 0), 0u);
}

TEST_F(PoseText, NumbersAreTheShortestThatReadBackTheSame) {
  const std::string text = pose_text::write(*f);
  // The initial root height 0.91 as a float, written as the double it widens to.
  EXPECT_NE(pose_text::write(*buildHumanoid()).find("\nroot 0 0.9100000262260437 0 0 0 0 1\n"),
            std::string::npos);
  EXPECT_NE(text.find("\nh_shin_left 0.2\n"), std::string::npos);
}

TEST_F(PoseText, AHumanoidPoseComesBackBitForBit) {
  std::vector<std::unique_ptr<Handle>> records;
  expectRoundTrip(*f, records);
  for (auto& h : pins.list) EXPECT_EQ(f->segmentOf(h.get()), nullptr);
}

TEST(PoseTextRandom, GeneratedFigurePosesComeBackBitForBit) {
  for (std::uint32_t seed = 1; seed <= 200; ++seed) {
    SCOPED_TRACE(testing::Message() << "figure seed " << seed);
    std::vector<std::unique_ptr<Handle>> records;
    RandomFigure r(seed);
    r.figure().limitsEnabled = false;  // values as held go back as they were
    for (int i = r.random()() % 4; i > 0; --i) r.addHandle()->targetPos = Vec3(r.uniform(-1, 1), 0.5f, 0.0f);
    r.figure().solve(r.anyHandle());
    expectRoundTrip(r.figure(), records);
    if (HasFailure()) return;
  }
}

TEST_F(PoseText, SegmentsInAnyOrderWithCommentsBlankLinesAndCarriageReturns) {
  std::vector<std::string> lines = linesOf(pose_text::write(*f));
  std::string text = "# a pose kept for later\r\n\r\n" + lines[0] + "\r\n";
  for (size_t i = 21; i >= 1; --i) text += "  " + lines[i] + "\t\r\n# between\n\n";
  text += lines[22] + "\n" + lines[23];  // no line end at the very end
  const pose_text::Reading reading = pose_text::read(*f, text);
  ASSERT_EQ(reading.error, "");
  expectSameParams(*f, reading.pose.params, heldParams(*f));
  ASSERT_EQ(reading.pose.pins.size(), 2u);
  EXPECT_EQ(reading.pose.pins[0].segment, f->findSegment("h_hand_left"));
}

TEST_F(PoseText, AHandleLineGivesItsLocalPointAndTarget) {
  std::string text = pose_text::write(*f);
  text = text.substr(0, text.find("handle")) + "handle h_head 0 0.1 -0 +2.5 1e-3 -7\n";
  const pose_text::Reading reading = pose_text::read(*f, text);
  ASSERT_EQ(reading.error, "");
  ASSERT_EQ(reading.pose.pins.size(), 1u);
  const Pose::Pin& pin = reading.pose.pins[0];
  EXPECT_EQ(pin.segment, f->findSegment("h_head"));
  EXPECT_EQ(pin.localPos.y, 0.1f);
  EXPECT_TRUE(std::signbit(pin.localPos.z));
  EXPECT_EQ(pin.targetPos.x, 2.5f);
  EXPECT_EQ(pin.targetPos.y, 0.001f);
  EXPECT_EQ(pin.targetPos.z, -7.0f);
}

// ---- refusals: each names what is wrong and where

struct BadText {
  const char* name;
  // Turns a valid pose's text into a bad one.
  std::string (*spoil)(const std::string& valid);
  const char* expected;  // a part of the message
};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

const BadText kBadTexts[] = {
    {"Empty", [](const std::string&) { return std::string(); }, "the text is empty"},
    {"OnlyComments", [](const std::string&) { return std::string("# nothing yet\n\n"); }, "no header line"},
    {"NotAPose", [](const std::string&) { return std::string("hello world\n"); }, "line 1: not a mannequin pose"},
    {"NextVersion", [](const std::string& t) { return replaced(t, "pose 1", "pose 2"); },
     "line 1: unknown version \"2\""},
    {"NoVersion", [](const std::string& t) { return replaced(t, "pose 1", "pose"); }, "line 1: unknown version"},
    {"UnknownSegment", [](const std::string& t) { return replaced(t, "h_head", "h_tail"); },
     "unknown segment \"h_tail\""},
    {"RepeatedSegment", [](const std::string& t) { return t + "h_shin_left 0.3\n"; },
     "line 23: segment \"h_shin_left\" is given twice"},
    {"MissingSegment", [](const std::string& t) { return replaced(t, "h_shin_left 0.2\n", ""); },
     "segment \"h_shin_left\" is missing"},
    {"TooFewValues", [](const std::string& t) { return replaced(t, "h_foot_left 0.2 0.2", "h_foot_left 0.2"); },
     "line 6: segment \"h_foot_left\" takes 2 values, not 1"},
    {"TooManyValues", [](const std::string& t) { return replaced(t, "h_pelvis_up\n", "h_pelvis_up 0\n"); },
     "takes 0 values, not 1"},
    {"NotANumber", [](const std::string& t) { return replaced(t, "h_shin_left 0.2", "h_shin_left 0.2x"); },
     "\"0.2x\" is not a finite number"},
    {"Nan", [](const std::string& t) { return replaced(t, "h_shin_left 0.2", "h_shin_left nan"); },
     "\"nan\" is not a finite number"},
    {"Infinity", [](const std::string& t) { return replaced(t, "h_shin_left 0.2", "h_shin_left -inf"); },
     "\"-inf\" is not a finite number"},
    {"Overflow", [](const std::string& t) { return replaced(t, "h_shin_left 0.2", "h_shin_left 1e999"); },
     "\"1e999\" is not a finite number"},
    {"BeyondTheBound", [](const std::string& t) { return replaced(t, "h_shin_left 0.2", "h_shin_left 1000001"); },
     "of magnitude at most 1000000"},
    {"DecimalComma", [](const std::string& t) { return replaced(t, "h_shin_left 0.2", "h_shin_left 0,2"); },
     "\"0,2\" is not"},
    {"PlusMinus", [](const std::string& t) { return replaced(t, "h_shin_left 0.2", "h_shin_left +-0.2"); },
     "\"+-0.2\" is not"},
    {"ZeroQuaternion", [](const std::string& t) { return replaced(t, "h_head 0 0 0 1", "h_head 0 0 0 0"); },
     "segment \"h_head\" has a quaternion of length 0"},
    {"HandleOnUnknownSegment", [](const std::string& t) { return t + "handle h_tail 0 0 0 0 0 0\n"; },
     "line 23: handle on unknown segment \"h_tail\""},
    {"HandleWithTooFewNumbers", [](const std::string& t) { return t + "handle h_head 0 0 0 0 0\n"; },
     "line 23: a handle line is"},
    {"HandleTargetFloatOverflow", [](const std::string& t) { return t + "handle h_head 0 0 0 0 0 1e39\n"; },
     "\"1e39\" is not a finite number"},
    {"ControlBytesQuoted", [](const std::string& t) { return replaced(t, "h_head", std::string("h\x1b[2J\0x", 7)); },
     "unknown segment \"h\\x1b[2J\\x00x\""},
    {"OverTheSizeLimit", [](const std::string& t) { return t + std::string(65536, '#'); },
     "more than the 65536 a pose may have"},
};

class Refusal : public PoseText, public testing::WithParamInterface<BadText> {};

TEST_P(Refusal, NamesWhatIsWrongAndWhere) {
  // The initial pose: 22 lines, and the values the cases spoil.
  const std::string valid = pose_text::write(*buildHumanoid());
  ASSERT_EQ(pose_text::read(*f, valid).error, "");
  const std::string bad = GetParam().spoil(valid);
  ASSERT_NE(bad, valid);
  const pose_text::Reading reading = pose_text::read(*f, bad);
  EXPECT_NE(reading.error.find(GetParam().expected), std::string::npos) << reading.error;
  EXPECT_EQ(reading.error.find('\n'), std::string::npos) << "one line";
}

INSTANTIATE_TEST_SUITE_P(PoseText, Refusal, testing::ValuesIn(kBadTexts),
                         [](const testing::TestParamInfo<BadText>& info) { return std::string(info.param.name); });
