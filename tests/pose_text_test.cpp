// A pose written as text and read back: the same pose bit for bit, on the
// humanoid and on generated figures; every kind of bad text refused, with
// its tokens quoted and names shown as a terminal or a title can show them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <tuple>

#include "pose/FigureState.h"
#include "figure/ParamKinds.h"
#include "pose/PoseText.h"
#include "pose/ShownText.h"
#include "ik/Solver.h"
#include "ik_test_util.h"
#include "random_figure.h"

namespace {

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

class PoseText : public testing::Test, protected PosedHumanoid {};

// The humanoid's initial pose, whose values the cases change.
const std::string& initialText() {
  static const std::string text = pose_text::write(*buildHumanoid());
  return text;
}

}  // namespace

// Every segment in the figure's order with its values is the poses' that
// come with the program, written byte for byte as the program writes them.
TEST_F(PoseText, TheTextIsTheHeaderThenEverySegmentThenEveryHandleInShortestNumbers) {
  const std::vector<std::string> lines = linesOf(pose_text::write(*f));
  ASSERT_EQ(lines.size(), 1u + 21 + 2);
  EXPECT_EQ(lines[0], "mannequin pose 1");
  EXPECT_EQ(lines[2], "h_pelvis_left");  // no parameters, nothing after the name
  EXPECT_EQ(lines[22].rfind("handle h_hand_left ", 0), 0u);
  EXPECT_EQ(lines[23].rfind("handle h_foot_right ", 0), 0u);
  // Numbers are the shortest that read back the same: the initial root
  // height 0.91 as a float, written as the double it widens to.
  EXPECT_NE(initialText().find("\nroot 0 0.9100000262260437 0 0 0 0 1\n"), std::string::npos);
  EXPECT_NE(pose_text::write(*f).find("\nh_shin_left 0.2\n"), std::string::npos);
}

TEST(PoseTextRandom, GeneratedFigurePosesComeBackBitForBit) {
  for (std::uint32_t seed = 1; seed <= 200; ++seed) {
    SCOPED_TRACE(testing::Message() << "figure seed " << seed);
    std::vector<std::unique_ptr<Handle>> records;
    RandomFigure r(seed);
    r.figure().limitsEnabled = seed % 2;
    for (int i = 1 + r.random()() % 6; i > 0; --i) r.addHandle();
    for (int i = 0; i < 4; ++i) {
      Handle* dragged = r.anyHandle();
      const float x = r.uniform(-1, 1), y = r.uniform(0, 1), z = r.uniform(-1, 1);
      dragged->targetPos = Vec3(x, y, z);
      r.figure().solve(dragged);
    }
    const std::string copied = pose_text::write(r.figure());
    const FigureState before = saveState(r.figure());
    pose_text::Pasting pasting = pose_text::paste(r.figure(), copied, false);
    ASSERT_EQ(pasting.error, "") << copied;
    records = std::move(pasting.records);
    // The figure holds the pasted records, none of the handles it had.
    for (const HandleEntry& e : r.figure().handles)
      EXPECT_TRUE(std::any_of(records.begin(), records.end(), [&](auto& h) { return h.get() == e.handle; }));
    EXPECT_EQ(pose_text::write(r.figure()), copied);
    EXPECT_TRUE(saveState(r.figure()) == before);
    if (HasFailure()) return;
  }
}

// Only what the joint itself could have normalised keeps its bits: 1 + 4
// ulps, which squares to 1 + 8 ulps, the most that counts as unit length,
// but not one more; inside a chain of joints, as the root's is, too.
TEST_F(PoseText, AQuaternionOfUnitLengthToWithinRoundingKeepsItsBits) {
  for (const auto& [from, to, kept] : std::vector<std::array<std::string, 3>>{
           {"h_head 0 0 0 1", "h_head 0 0 0 1.0000000000000009", "\nh_head 0 0 0 1.0000000000000009\n"},
           {"h_head 0 0 0 1", "h_head 0 0 0 1.000000000000001", "\nh_head 0 0 0 1\n"},
           {"0 0 0 1\nh_pelvis", "0 0 0 1.0000000000000009\nh_pelvis", "0 0 0 1.0000000000000009\nh_pelvis"}}) {
    ASSERT_EQ(pose_text::paste(*f, replaced(initialText(), from, to), false).error, "");  // no handles
    EXPECT_NE(pose_text::write(*f).find(kept), std::string::npos) << to;
  }
}

TEST_F(PoseText, SegmentsInAnyOrderWithAByteOrderMarkCommentsBlankLinesAndCarriageReturns) {
  const std::string copied = pose_text::write(*f);
  std::vector<std::string> lines = linesOf(copied);
  std::string text = "\xEF\xBB\xBF# a pose kept for later\r\n\r\n" + lines[0] + " # v1\r\n";
  for (size_t i = 21; i >= 1; --i) text += "  " + lines[i] + "\t\r\n# between\n\n";
  text += lines[22] + "\t#left\n" + lines[23];  // no line end at the very end
  text += std::string(2, '\0');            // as some programs end the clipboard's text
  const pose_text::Pasting pasting = pose_text::paste(*f, text, false);
  ASSERT_EQ(pasting.error, "");
  EXPECT_EQ(pose_text::write(*f), copied);
}

TEST_F(PoseText, AHandleLineGivesItsLocalPointAndTarget) {
  std::string text = pose_text::write(*f);
  text = text.substr(0, text.find("handle")) + "handle h_head 1e-50 0.1 -0 +2.5 1e-3 -7\n";
  const pose_text::Reading reading = pose_text::read(*f, text);
  ASSERT_EQ(reading.error, "");
  ASSERT_EQ(reading.pose.pins.size(), 1u);
  const Pose::Pin& pin = reading.pose.pins[0];
  EXPECT_EQ(pin.segment, f->findSegment("h_head"));
  // 1e-50 is too small for a float: rounded.
  EXPECT_EQ(std::make_tuple(pin.localPos.x, pin.localPos.y, pin.targetPos.x, pin.targetPos.y, pin.targetPos.z),
            std::make_tuple(0.0f, 0.1f, 2.5f, 0.001f, -7.0f));
  EXPECT_TRUE(pin.localPos.z == 0 && std::signbit(pin.localPos.z));
}

// ---- limits: exactly at one is read, just past it is refused

// A value is judged as written, in a joint (a double) and in a handle (a
// float): at most 1e6 in magnitude, and one too small to hold is zero of its sign.
TEST_F(PoseText, ValuesAreJudgedAsWritten) {
  // What is written, and what it reads as; NAN: refused.
  const std::pair<std::string, double> cases[] = {
      {"1e6", 1e6}, {"-1e6", -1e6}, {"1000000.000", 1e6}, {"999999.99999999999999", 1e6},
      {"1000000.03", NAN}, {"1000000.00000000001", NAN}, {"-1e999", NAN},
      {"1e-400", 0.0}, {"-1e-400", -0.0}, {"0." + std::string(60000, '0') + "5", 0.0}, {"-4e-324", -4.9406564584124654e-324},
  };
  const std::vector<Segment*> all = f->segments();
  const size_t shin = std::find(all.begin(), all.end(), f->findSegment("h_shin_left")) - all.begin();
  for (const auto& [written, value] : cases) {
    SCOPED_TRACE(written.substr(0, 30));
    const pose_text::Reading joint = pose_text::read(*f, replaced(initialText(), "h_shin_left 0.2", "h_shin_left " + written));
    const pose_text::Reading handle = pose_text::read(*f, initialText() + "handle h_head 0 0 0 " + written + " 0 0\n");
    if (std::isnan(value)) {
      EXPECT_NE(joint.error.find("is not a finite number of magnitude at most 1000000"), std::string::npos);
      EXPECT_EQ(handle.error.substr(handle.error.find(':')), joint.error.substr(joint.error.find(':')));
      continue;
    }
    ASSERT_EQ(joint.error, "");
    ASSERT_EQ(handle.error, "");
    const double read = joint.pose.params[shin][0];
    EXPECT_EQ(0, std::memcmp(&read, &value, sizeof read)) << read;
    const float narrow = static_cast<float>(value);
    EXPECT_EQ(0, std::memcmp(&handle.pose.pins[0].targetPos.x, &narrow, sizeof narrow));
  }
}

TEST_F(PoseText, LimitsAreReachedNotPassed) {
  const std::string& valid = initialText();
  EXPECT_EQ(pose_text::read(*f, valid + std::string(65536 - valid.size(), '#')).error, "");
  std::string handles = valid;
  for (int i = 0; i < 1000; ++i) handles += "handle h_head 0 0 0 0 0 0\n";
  EXPECT_EQ(pose_text::read(*f, handles).error, "");
  EXPECT_EQ(pose_text::read(*f, replaced(valid, "h_head 0 0 0 1", "h_head 0 0 0 1e-6")).error, "");
}

// ---- refusals: each names what is wrong and where

struct BadText {
  const char* name;
  // The first `from` in a valid pose's text becomes `to`; with no `from`,
  // `to` is added at its end; or `spoil` makes the bad text of the valid.
  std::string from, to;
  const char* expected;  // a part of the message
  std::string (*spoil)(const std::string& valid) = nullptr;
};

// A value past the bound is ValuesAreJudgedAsWritten's.
const BadText kBadTexts[] = {
    {"Empty", "", "", "the text is empty", [](const std::string&) { return std::string(); }},
    {"OnlyComments", "", "", "no header line",
     [](const std::string&) { return std::string("# nothing yet\n\n"); }},
    {"NotAPose", "mannequin pose 1", "hello world", "line 1: not a mannequin pose"},
    {"NextVersion", "pose 1", "pose 2", "line 1: unknown version \"2\""},
    {"NoVersion", "pose 1", "pose", "line 1: unknown version"},
    {"MoreAfterTheVersion", "pose 1", "pose 1 beta", "line 1: unexpected \"beta\" after the version"},
    {"UnknownSegment", "h_head", "h_tail", "unknown segment \"h_tail\""},
    {"RepeatedSegment", "", "h_shin_left 0.3\n", "line 23: segment \"h_shin_left\" is given twice"},
    {"MissingSegment", "h_shin_left 0.2\n", "", "after line 21: segment \"h_shin_left\" is missing"},
    {"MissingSegmentNoLastLineEnd", "", "", "after line 21: segment \"h_shin_left\" is missing",
     [](const std::string& t) { return replaced(t.substr(0, t.size() - 1), "h_shin_left 0.2\n", ""); }},
    {"TooFewValues", "h_foot_left 0.2 0.2", "h_foot_left 0.2",
     "line 6: segment \"h_foot_left\" takes 2 values, not 1"},
    {"TooManyValues", "h_pelvis_up\n", "h_pelvis_up 0\n", "takes 0 values, not 1"},
    {"NotANumber", "h_shin_left 0.2", "h_shin_left 0.2#x", "\"0.2#x\" is not a finite number"},
    {"Nan", "h_shin_left 0.2", "h_shin_left nan", "\"nan\" is not a finite number"},
    {"Infinity", "h_shin_left 0.2", "h_shin_left -inf", "\"-inf\" is not a finite number"},
    {"DecimalComma", "h_shin_left 0.2", "h_shin_left 0,2", "\"0,2\" is not"},
    {"PlusMinus", "h_shin_left 0.2", "h_shin_left +-0.2", "\"+-0.2\" is not"},
    {"ZeroQuaternion", "h_head 0 0 0 1", "h_head 0 0 0 0", "segment \"h_head\" has a quaternion of length 0"},
    {"HandleOnUnknownSegment", "", "handle h_tail 0 0 0 0 0 0\n", "line 23: handle on unknown segment \"h_tail\""},
    {"HandleWithTooFewNumbers", "", "handle h_head 0 0 0 0 0\n", "line 23: a handle line is"},
    {"HandleWithAWordTooMany", "", "handle h_head 0 0 0 0 0 0 0\n", "line 23: a handle line is"},
    {"QuaternionJustTooShort", "h_head 0 0 0 1", "h_head 0 0 0 9.999999999999998e-7",
     "has a quaternion of length 9.999999999999997e-07, too short"},
    {"SecondByteOrderMark", "mannequin", "\xEF\xBB\xBF\xEF\xBB\xBFmannequin",
     "line 1: not a mannequin pose: it begins with \"\\xef\\xbb\\xbfmannequin\""},
    {"ControlBytesQuoted", "h_head", std::string("h\x1b[2J\0x", 7), "unknown segment \"h\\x1b[2J\\x00x\""},
    {"TooManyHandles", "", "", "line 1023: more than 1000 handles",
     [](const std::string& t) {
       std::string text = t;
       for (int i = 0; i <= 1000; ++i) text += "handle h_head 0 0 0 0 0 0\n";
       return text;
     }},
    {"OverTheSizeLimit", "", "", "more than the 65536 a pose may have",
     [](const std::string& t) { return t + std::string(65537 - t.size(), '#'); }},
};

// One posed figure serves every case: a refusal leaves it as it was.
class Refusal : public testing::TestWithParam<BadText> {
 protected:
  Refusal() {
    static PosedHumanoid posed;
    f = posed.f.get();
  }
  Figure* f;
};

TEST_P(Refusal, NamesWhatIsWrongAndWhere) {
  const std::string& valid = initialText();
  const BadText& c = GetParam();
  const std::string bad = c.spoil ? c.spoil(valid) : c.from.empty() ? valid + c.to : replaced(valid, c.from, c.to);
  ASSERT_NE(bad, valid);
  const pose_text::Reading reading = pose_text::read(*f, bad);
  EXPECT_NE(reading.error.find(c.expected), std::string::npos) << reading.error;
  EXPECT_EQ(reading.error.find('\n'), std::string::npos) << "one line";
  // A paste of it, plain or mirrored, leaves the figure as it was.
  const FigureState before = saveState(*f);
  for (bool mirrored : {false, true}) {
    const pose_text::Pasting pasting = pose_text::paste(*f, bad, mirrored);
    EXPECT_EQ(pasting.error, reading.error);
    EXPECT_TRUE(pasting.records.empty());
    EXPECT_TRUE(saveState(*f) == before);
  }
}

INSTANTIATE_TEST_SUITE_P(PoseText, Refusal, testing::ValuesIn(kBadTexts),
                         [](const testing::TestParamInfo<BadText>& info) { return std::string(info.param.name); });

// ---- names and tokens as the program shows them: one line, valid UTF-8

TEST(ShownName, EscapesWhatATerminalOrATitleCannotShow) {
  EXPECT_EQ(shownName("pose \xC3\xA9t\xC3\xA9.pose"), "pose \xC3\xA9t\xC3\xA9.pose");
  EXPECT_EQ(shownName("a\nb\x7F.pose"), "a\\x0ab\\x7f.pose");
  EXPECT_EQ(shownName("\x1B[31mred"), "\\x1b[31mred");
  // C1 controls, a lone continuation, a cut sequence, overlong and surrogate forms.
  EXPECT_EQ(shownName("\xC2\x9B|\x80|\xE2\x82|\xC0\xAF|\xED\xA0\x80"),
            "\\xc2\\x9b|\\x80|\\xe2\\x82|\\xc0\\xaf|\\xed\\xa0\\x80");
  EXPECT_EQ(shownName("\xF4\x8F\xBF\xBF"), "\xF4\x8F\xBF\xBF");
  EXPECT_EQ(shownName("\xF4\x90\x80\x80"), "\\xf4\\x90\\x80\\x80");
}

TEST(ShownName, IsCutInTheMiddleBeyondEightyCharacters) {
  const std::string eighty = std::string(40, 'a') + std::string(40, 'z');
  EXPECT_EQ(shownName(eighty), eighty);
  EXPECT_EQ(shownName(std::string(40, 'a') + "m" + std::string(40, 'z')),
            std::string(40, 'a') + "\u2026" + std::string(39, 'z'));
  // Counted in characters, not bytes; a 100 kB name gives 80 of them.
  const std::string shown = shownName(std::string(100000, 'x') + "\xC3\xA9");
  EXPECT_EQ(shown, std::string(40, 'x') + "\u2026" + std::string(38, 'x') + "\xC3\xA9");
}

// A token is quoted whole up to 40 bytes, and cut there beyond.
TEST(QuotedToken, KeepsFortyBytesAndMarksTheCut) {
  EXPECT_EQ(quotedToken(std::string(40, 'a')), "\"" + std::string(40, 'a') + "\"");
  EXPECT_EQ(quotedToken(std::string(41, 'a')), "\"" + std::string(40, 'a') + "...\"");
}
