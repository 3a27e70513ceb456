#include "pose/BvhReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string_view>
#include <vector>

#include "pose/BvhSkeleton.h"
#include "pose/PoseText.h"
#include "pose/ShownText.h"

namespace bvh {

namespace {

constexpr double kRadians = M_PI / 180.0;
const char* const kChannelNames[] = {"Xposition", "Yposition", "Zposition",
                                     "Xrotation", "Yrotation", "Zrotation"};
const char* const kAxisNames[] = {"x", "y", "z"};

std::string number(double v) {
  char buffer[64];
  return std::string(buffer,
                     std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 4).ptr);
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// The text's lines in turn, read in blocks: no more of it is held than the
// line at hand, and no more read than the size limit allows.
class Lines {
 public:
  explicit Lines(std::istream& in) : in(in), block(1 << 16) {}

  // The next line without its end; false at the text's end, on a read error
  // and beyond the size limit (see failure).
  bool next(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
      if (at == filled) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        filled = static_cast<size_t>(in.gcount());
        at = 0;
        bytes += filled;
        if (in.bad()) failure = "the file could not be read";
        if (bytes > kSizeLimit) {
          failure =
              "the file is larger than the " + std::to_string(kSizeLimit) + " bytes a BVH file may have";
        }
        if (!failure.empty() || filled == 0) break;
      }
      any = true;
      const char* start = block.data() + at;
      const auto* end = static_cast<const char*>(std::memchr(start, '\n', filled - at));
      if (end) {
        line.append(start, end - start);
        at += end - start + 1;
        ++number;
        return true;
      }
      line.append(start, filled - at);
      at = filled;
    }
    if (!failure.empty() || !any) return false;
    ++number;
    return true;
  }

  int number = 0;       // of the line last given
  std::string failure;  // why reading stopped early
 private:
  std::istream& in;
  std::vector<char> block;
  size_t at = 0, filled = 0;
  std::uintmax_t bytes = 0;
};

// A joint as the file gives it: where its values are in a frame.
struct FileJoint {
  bool seen = false;
  int position[3] = {-1, -1, -1};          // channels of x, y and z; -1: none
  std::vector<std::pair<int, int>> turns;  // rotation channels in order: axis, channel
};

class Reader {
 public:
  Reader(const Figure& figure, std::istream& in, int frame)
      : figure(figure), skeleton(skeletonOf(figure)), lines(in), wanted(frame) {
    for (size_t i = 0; i < skeleton.joints.size(); ++i) byName.emplace(skeleton.joints[i].segment->name, i);
    file.resize(skeleton.joints.size());
  }

  Reading run() {
    std::string_view w;
    if (!skeleton.error.empty()) {
      fail(skeleton.error);
    } else if (wanted < 1) {
      fail("there is no frame " + std::to_string(wanted) + ": frames count from 1");
    } else if (expect("HIERARCHY") && expect("ROOT") && word(w) && joint(std::string(w), -1) &&
               everyJoint() && motion() && frames()) {
      toPose();
    }
    if (!reading.error.empty()) reading.pose = Pose();
    return reading;
  }

 private:
  void fail(const std::string& what) {
    if (reading.error.empty()) reading.error = what;
  }
  // The size limit or a read error stops everything, whatever was expected.
  bool failHere(const std::string& what) {
    if (!lines.failure.empty()) {
      fail(lines.failure);
    } else {
      fail(lines.number > 0 ? "line " + std::to_string(lines.number) + ": " + what : what);
    }
    return false;
  }

  // ---- words

  bool word(std::string_view& w) {
    while (next == words.size()) {
      if (!lines.next(text)) {
        return failHere(lines.number ? "the file ends before its frames" : "the file is empty");
      }
      split();
    }
    w = words[next++];
    return true;
  }

  // Keeps at most keep words and counts them all: a line of a frame may be
  // as long as the file, and a view of each of its words would take ten
  // times its bytes.
  void split(size_t keep = SIZE_MAX) {
    words.clear();
    wordCount = 0;
    next = 0;
    size_t i = 0;
    if (lines.number == 1 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
    while (i < text.size()) {
      while (i < text.size() && isBlank(text[i])) ++i;
      const size_t start = i;
      while (i < text.size() && !isBlank(text[i])) ++i;
      if (i == start) continue;
      if (++wordCount <= keep) words.emplace_back(text.data() + start, i - start);
    }
  }

  bool expect(std::string_view keyword) {
    std::string_view w;
    if (!word(w)) return false;
    if (w != keyword) return failHere("expected " + std::string(keyword) + ", not " + quotedToken(w));
    return true;
  }

  bool value(std::string_view w, double& v) {
    static_assert(kValueLimit == pose_text::kValueLimit);
    if (pose_text::readNumber(w, v)) return true;
    return failHere(quotedToken(w) + " is not a number of magnitude at most " + number(kValueLimit));
  }

  bool values(double v[3]) {
    std::string_view w;
    for (int k = 0; k < 3; ++k) {
      if (!word(w) || !value(w, v[k])) return false;
    }
    return true;
  }

  bool count(long lowest, long highest, long& n) {
    std::string_view w;
    if (!word(w)) return false;
    const auto read = std::from_chars(w.data(), w.data() + w.size(), n);
    if (read.ptr == w.data() + w.size() && read.ec == std::errc() && n >= lowest && n <= highest) return true;
    return failHere(quotedToken(w) + " is not a whole number from " + std::to_string(lowest) + " to " +
                    std::to_string(highest));
  }

  // ---- the hierarchy

  bool joint(const std::string& name, int above) {
    const auto it = byName.find(name);
    if (it == byName.end()) return failHere("the figure has no joint " + quotedToken(name));
    const int j = static_cast<int>(it->second);
    if (file[j].seen) return failHere("joint " + quotedToken(name) + " is given twice");
    file[j].seen = true;
    const int parent = skeleton.joints[j].parent;
    if (parent != above) {
      return failHere("joint " + quotedToken(name) + " is " + placeOf(above) + " here, " + placeOf(parent) +
                      " in the figure");
    }
    double offset[3];
    if (!expect("{") || !expect("OFFSET") || !values(offset)) return false;
    const auto& expected = skeleton.joints[j].offset;
    for (int k = 0; k < 3; ++k) {
      if (std::fabs(offset[k] - expected[k]) > kOffsetSlack) {
        return failHere("joint " + quotedToken(name) + " has the OFFSET " + triple(offset) +
                        ", not the figure's " + triple(expected.data()));
      }
    }
    return channels(j) && body(j);
  }

  std::string placeOf(int parent) const {
    return parent < 0 ? "the root" : "under " + quotedToken(skeleton.joints[parent].segment->name);
  }

  static std::string triple(const double* v) {
    return number(v[0]) + " " + number(v[1]) + " " + number(v[2]);
  }

  bool channels(int j) {
    long n = 0;
    if (!expect("CHANNELS") || !count(0, 6, n)) return false;
    bool given[6] = {};
    for (long i = 0; i < n; ++i) {
      std::string_view w;
      if (!word(w)) return false;
      int c = 0;
      while (c < 6 && w != kChannelNames[c]) ++c;
      if (c == 6) return failHere(quotedToken(w) + " is not a channel");
      if (given[c]) return failHere("the channel " + std::string(w) + " is given twice");
      given[c] = true;
      if (c < 3 && skeleton.joints[j].parent >= 0) {
        return failHere("joint " + quotedToken(skeleton.joints[j].segment->name) +
                        " has a position channel, which only the root may have");
      }
      if (c < 3) {
        file[j].position[c] = channelCount++;
      } else {
        file[j].turns.emplace_back(c - 3, channelCount++);
      }
    }
    return true;
  }

  bool body(int j) {
    for (;;) {
      std::string_view w;
      if (!word(w)) return false;
      if (w == "}") return true;
      if (w == "JOINT") {
        if (!word(w) || !joint(std::string(w), j)) return false;
      } else if (w == "End") {
        double ignored[3];
        if (!expect("Site") || !expect("{") || !expect("OFFSET") || !values(ignored) || !expect("}")) {
          return false;
        }
      } else {
        return failHere("expected JOINT, End Site or }, not " + quotedToken(w));
      }
    }
  }

  bool everyJoint() {
    for (size_t j = 0; j < file.size(); ++j) {
      if (!file[j].seen) {
        return failHere("the figure's joint " + quotedToken(skeleton.joints[j].segment->name) +
                        " is not in the file");
      }
    }
    return true;
  }

  // ---- the motion

  bool motion() {
    double time = 0;
    std::string_view w;
    if (!expect("MOTION") || !expect("Frames:") || !count(1, kSizeLimit, total)) return false;
    if (wanted > total) {
      return failHere("there is no frame " + std::to_string(wanted) + ": the file has " +
                      std::to_string(total));
    }
    if (!expect("Frame") || !expect("Time:") || !word(w) || !value(w, time)) return false;
    if (!(time > 0)) return failHere("the frame time " + quotedToken(w) + " is not above zero");
    if (next < words.size()) {
      return failHere("unexpected " + quotedToken(words[next]) + " after the frame time");
    }
    reading.frames = total;
    return true;
  }

  bool frames() {
    long seen = 0;
    std::vector<double> values(channelCount);
    while (lines.next(text)) {
      split(values.size() + 1);
      if (words.empty()) continue;
      if (++seen > total) return failHere("a frame beyond the " + std::to_string(total) + " the file gives");
      if (wordCount != values.size()) {
        return failHere("frame " + std::to_string(seen) + " has " + std::to_string(wordCount) +
                        " values, and the channels are " + std::to_string(values.size()));
      }
      for (size_t i = 0; i < words.size(); ++i) {
        if (!value(words[i], values[i])) return false;
      }
      if (seen == wanted) {
        chosen = values;
        chosenLine = lines.number;
      }
    }
    if (!lines.failure.empty()) return failHere(lines.failure);
    if (seen < total) {
      return failHere("the file ends after " + std::to_string(seen) + " of its " + std::to_string(total) +
                      " frames");
    }
    return true;
  }

  // ---- the pose

  void toPose() {
    const std::vector<Segment*> segments = figure.segments();
    for (const Segment* s : segments) reading.pose.params.emplace_back(s->joint->dofCount(), 0.0);
    for (size_t j = 0; j < skeleton.joints.size() && reading.error.empty(); ++j) {
      place(skeleton.joints[j], file[j]);
      turn(skeleton.joints[j], file[j]);
    }
  }

  std::string refusal(const Joint& joint, const std::string& what) const {
    return "line " + std::to_string(chosenLine) + ": joint " + quotedToken(joint.segment->name) + " " + what +
           ", and frame " + std::to_string(wanted);
  }

  void place(const Joint& joint, const FileJoint& given) {
    if (joint.parent >= 0) return;
    std::vector<double>& p = reading.pose.params[joint.segmentIndex];
    const Vec3& end = joint.segment->endOffset;
    const double base[3] = {end.x, end.y, end.z};
    double moved = 0;
    for (int k = 0; k < 3; ++k) {
      const double at = given.position[k] < 0 ? 0.0 : chosen[given.position[k]];
      if (joint.translation >= 0) p[joint.translation + k] = at - base[k];
      moved = std::max(moved, std::fabs(at - base[k]));
    }
    if (joint.translation < 0 && moved > kRemainderSlack) {
      fail(refusal(joint, "cannot move") + " moves it by " + number(moved) + " m");
    }
  }

  void turn(const Joint& joint, const FileJoint& given) {
    std::vector<double>& p = reading.pose.params[joint.segmentIndex];
    double angle[3] = {0, 0, 0};  // by axis, where the channels are in the joint's own order
    bool ownOrder = given.turns.size() == 3;
    for (size_t i = 0; i < given.turns.size(); ++i) {
      ownOrder = ownOrder && given.turns[i].first == joint.order[i];
      angle[given.turns[i].first] = chosen[given.turns[i].second] * kRadians;
    }
    const bool pair = joint.turn == Turn::HingePair;
    if (ownOrder && (joint.turn == Turn::Hinge || pair)) {
      // The channels of other axes are what must stay near zero.
      double others = 0;
      for (int axis = 0; axis < 3; ++axis) {
        if (axis != joint.axes[0] && !(pair && axis == joint.axes[1])) {
          others = std::max(others, std::fabs(angle[axis]));
        }
      }
      if (others <= kRemainderSlack) {
        p[joint.turnParam] = angle[joint.axes[0]];
        if (pair) p[joint.secondParam] = angle[joint.axes[1]];
        return;
      }
    }
    Quat q;
    for (const auto& [axis, channel] : given.turns) q = q * axisTurn(axis, chosen[channel] * kRadians);
    q.normalize();
    double remaining = 0;
    switch (joint.turn) {
      case Turn::None:
        remaining = turnAngle(q);
        break;
      case Turn::Quaternion:
        p[joint.turnParam] = q.x, p[joint.turnParam + 1] = q.y, p[joint.turnParam + 2] = q.z;
        p[joint.turnParam + 3] = q.w;
        break;
      case Turn::Hinge:
      case Turn::HingePair: {
        const HingeAngles h = hingeAngles(q, joint.axes[0], pair ? joint.axes[1] : -1);
        p[joint.turnParam] = h.first;
        if (pair) p[joint.secondParam] = h.second;
        remaining = h.remaining;
        break;
      }
    }
    if (remaining > kRemainderSlack) {
      fail(refusal(joint, turns(joint)) + " turns it " + number(remaining / kRadians) + " degrees besides");
    }
  }

  static std::string turns(const Joint& joint) {
    if (joint.turn == Turn::None) return "cannot turn";
    const std::string first = std::string("turns about ") + kAxisNames[joint.axes[0]];
    return joint.turn == Turn::Hinge ? first + " alone" : first + " then " + kAxisNames[joint.axes[1]];
  }

  const Figure& figure;
  Skeleton skeleton;
  Lines lines;
  int wanted;
  std::map<std::string, size_t> byName;
  std::vector<FileJoint> file;  // by the skeleton's joints
  int channelCount = 0;
  long total = 0;
  std::string text;                     // the line at hand
  std::vector<std::string_view> words;  // its words
  size_t wordCount = 0;                 // its words, kept or not
  size_t next = 0;                      // the next word to take
  std::vector<double> chosen;           // the frame asked for
  int chosenLine = 0;
  Reading reading;
};

}  // namespace

std::string sizeRefusal(std::uintmax_t bytes) {
  if (bytes <= kSizeLimit) return "";
  return "the file is " + std::to_string(bytes) + " bytes, more than the " + std::to_string(kSizeLimit) +
         " a BVH file may have";
}

Reading read(const Figure& figure, std::istream& in, int frame) {
  // A file whose size can be told is refused by it before it is read.
  const std::istream::pos_type start = in.tellg();
  if (start != std::istream::pos_type(-1) && in.seekg(0, std::ios::end)) {
    const std::istream::pos_type end = in.tellg();
    in.seekg(start);
    if (end != std::istream::pos_type(-1)) {
      const std::string refusal = sizeRefusal(static_cast<std::uintmax_t>(end - start));
      if (!refusal.empty()) return {Pose(), 0, refusal};
    }
  }
  in.clear();
  return Reader(figure, in, frame).run();
}

}  // namespace bvh
