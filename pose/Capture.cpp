#include "pose/Capture.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "pose/BvhReader.h"
#include "pose/PoseText.h"
#include "pose/ShownText.h"

namespace capture {

namespace {

const char* const kChannelNames[] = {"Xposition", "Yposition", "Zposition",
                                     "Xrotation", "Yrotation", "Zrotation"};
// Deeper than any skeleton; a bound on the reader's recursion.
constexpr int kDeepest = 256;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\n'; }

std::string number(double v) {
  char buffer[64];
  return std::string(buffer,
                     std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 4).ptr);
}

class Reader {
 public:
  explicit Reader(std::string text) : text(std::move(text)) {
    if (this->text.compare(0, 3, "\xEF\xBB\xBF") == 0) at = 3;
  }

  bool run(Capture& c) {
    std::string_view w;
    if (!expect("HIERARCHY") || !expect("ROOT") || !word(w) || !joint(c, std::string(w), -1, 0)) return false;
    if (!expect("MOTION")) return false;
    c.hierarchy = text.substr(0, wordStart);
    return motion(c);
  }

  std::string error;

 private:
  bool fail(const std::string& what) {
    if (error.empty()) error = "line " + std::to_string(line) + ": " + what;
    return false;
  }

  // The next word, on any line; false at the end.
  bool next(std::string_view& w) {
    while (at < text.size() && isBlank(text[at])) line += text[at++] == '\n';
    if (at == text.size()) return false;
    wordStart = at;
    while (at < text.size() && !isBlank(text[at])) ++at;
    w = std::string_view(text).substr(wordStart, at - wordStart);
    return true;
  }

  bool word(std::string_view& w) {
    if (next(w)) return true;
    return fail(line <= 1 && text.size() <= 3 ? "the file is empty" : "the file ends before its frames");
  }

  bool expect(std::string_view keyword) {
    std::string_view w;
    if (!word(w)) return false;
    if (w != keyword) return fail("expected " + std::string(keyword) + ", not " + quotedToken(w));
    return true;
  }

  bool value(std::string_view w, double& v) {
    // As the figure's own BVH and the pose text read them: too small is zero.
    if (pose_text::readNumber(w, v)) return true;
    return fail(quotedToken(w) + " is not a number of magnitude at most " + number(bvh::kValueLimit));
  }

  bool values(Dir3& v) {
    std::string_view w;
    return word(w) && value(w, v.x) && word(w) && value(w, v.y) && word(w) && value(w, v.z);
  }

  bool count(long lowest, long highest, long& n) {
    std::string_view w;
    if (!word(w)) return false;
    const auto read = std::from_chars(w.data(), w.data() + w.size(), n);
    if (read.ptr == w.data() + w.size() && read.ec == std::errc() && n >= lowest && n <= highest) return true;
    return fail(quotedToken(w) + " is not a whole number from " + std::to_string(lowest) + " to " +
                std::to_string(highest));
  }

  bool joint(Capture& c, const std::string& name, int parent, int depth) {
    if (depth > kDeepest) return fail("the joints nest deeper than " + std::to_string(kDeepest));
    const int j = static_cast<int>(c.joints.size());
    c.joints.push_back(Joint{name, parent, {}, {-1, -1, -1}, {}});
    Dir3 offset;
    if (!expect("{") || !expect("OFFSET") || !values(offset)) return false;
    c.joints[j].offset = offset;
    long n = 0;
    if (!expect("CHANNELS") || !count(0, 6, n)) return false;
    bool given[6] = {};
    for (long i = 0; i < n; ++i) {
      std::string_view w;
      if (!word(w)) return false;
      int k = 0;
      while (k < 6 && w != kChannelNames[k]) ++k;
      if (k == 6) return fail(quotedToken(w) + " is not a channel");
      if (given[k]) return fail("the channel " + std::string(w) + " is given twice");
      given[k] = true;
      if (k < 3) {
        c.joints[j].position[k] = c.channels++;
      } else {
        c.joints[j].turns.emplace_back(k - 3, c.channels++);
      }
    }
    for (;;) {
      std::string_view w;
      if (!word(w)) return false;
      if (w == "}") return true;
      if (w == "JOINT") {
        if (!word(w) || !joint(c, std::string(w), j, depth + 1)) return false;
      } else if (w == "End") {
        Dir3 end;
        if (!expect("Site") || !expect("{") || !expect("OFFSET") || !values(end) || !expect("}")) return false;
        c.joints.push_back(Joint{"", j, end, {-1, -1, -1}, {}});
      } else {
        return fail("expected JOINT, End Site or }, not " + quotedToken(w));
      }
    }
  }

  bool motion(Capture& c) {
    std::string_view w;
    if (!expect("Frames:") || !count(1, static_cast<long>(bvh::kSizeLimit), c.frames)) return false;
    if (!expect("Frame") || !expect("Time:") || !word(w) || !value(w, c.frameTime)) return false;
    if (!(c.frameTime > 0)) return fail("the frame time " + quotedToken(w) + " is not above zero");
    // Every frame's values, however the lines break them.
    const size_t total = static_cast<size_t>(c.frames) * c.channels;
    if (total > text.size()) return fail(std::to_string(c.frames) + " frames cannot fit in the file");
    c.values.resize(total);
    for (size_t i = 0; i < total; ++i) {
      if (!next(w)) {
        return fail("the file ends after " + std::to_string(c.channels ? i / c.channels : 0) + " of its " +
                    std::to_string(c.frames) + " frames");
      }
      if (!value(w, c.values[i])) return false;
    }
    // Whole frames beyond the count the file gives are frames too, as
    // captures in the wild have them.
    size_t extra = 0;
    double v = 0;
    int lastValueLine = line;
    while (next(w)) {
      if (!value(w, v)) return false;
      if (c.channels == 0) return fail("unexpected " + quotedToken(w) + " after the " + std::to_string(c.frames) + " frames");
      c.values.push_back(v);
      ++extra;
      lastValueLine = line;
    }
    if (c.channels && extra % c.channels) {
      line = lastValueLine;
      return fail("the last frame has " + std::to_string(extra % c.channels) + " of its " +
                  std::to_string(c.channels) + " values");
    }
    if (c.channels) c.frames += static_cast<long>(extra / c.channels);
    return true;
  }

  std::string text;
  size_t at = 0, wordStart = 0;
  int line = 1;
};

// The joint's distance from the one named by index below it, through the
// offsets between.
double reach(const Capture& c, int from, int to) {
  double sum = 0;
  for (int j = to; j >= 0 && j != from; j = c.joints[j].parent) sum += length(c.joints[j].offset);
  return sum;
}

bool below(const Capture& c, int upper, int lower) {
  for (int j = lower; j >= 0; j = c.joints[j].parent) {
    if (j == upper) return true;
  }
  return false;
}

}  // namespace

Loading load(const Figure& figure, std::istream& in) {
  std::string text;
  {
    char block[1 << 16];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
      text.append(block, static_cast<size_t>(in.gcount()));
      if (text.size() > bvh::kSizeLimit) return {nullptr, bvh::sizeRefusal(text.size())};
    }
    if (in.bad()) return {nullptr, "the file could not be read"};
  }
  auto c = std::make_shared<Capture>();
  Reader reader(std::move(text));
  if (!reader.run(*c)) return {nullptr, reader.error};
  c->own = c->joints.front().name == figure.root->name;
  if (c->own) return {c, ""};

  std::vector<std::string> names;
  for (const Joint& j : c->joints) names.push_back(j.name);
  c->recognition = recognise(names);
  if (!c->recognition.error.empty()) return {nullptr, "capture: " + c->recognition.error};
  const auto& r = c->recognition.joints;
  // The limbs hang from the joints before them, in that order.
  const std::pair<Role, Role> chains[] = {{kLeftThigh, kLeftShin},       {kLeftShin, kLeftFoot},
                                          {kRightThigh, kRightShin},     {kRightShin, kRightFoot},
                                          {kLeftUpperArm, kLeftForearm}, {kLeftForearm, kLeftHand},
                                          {kRightUpperArm, kRightForearm}, {kRightForearm, kRightHand},
                                          {kPelvis, kNeck},              {kNeck, kHead}};
  for (const auto& [upper, lower] : chains) {
    if (!below(*c, r[upper], r[lower])) {
      return {nullptr, std::string("capture: the ") + roleName(lower) + " does not hang from the " +
                           roleName(upper)};
    }
  }
  c->legLength = 0.5 * (reach(*c, r[kLeftThigh], r[kLeftFoot]) + reach(*c, r[kRightThigh], r[kRightFoot]));
  if (!(c->legLength > 1e-9)) return {nullptr, "capture: the legs have a length of zero"};
  return {c, ""};
}

}  // namespace capture
