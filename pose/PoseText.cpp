#include "pose/PoseText.h"

#include <charconv>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "figure/ParamKinds.h"
#include "pose/ShownText.h"

namespace pose_text {

namespace {

template <typename T>
void appendNumber(std::string& out, T value) {
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  out += ' ';
  out.append(buffer, end);
}

void appendPoint(std::string& out, const Vec3& p) {
  appendNumber(out, p.x);
  appendNumber(out, p.y);
  appendNumber(out, p.z);
}

std::string quoted(std::string_view token) { return quotedToken(token); }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string shortest(double value) {
  std::string out;
  appendNumber(out, value);
  return out.substr(1);
}

// The line's words; a word that begins with '#' starts a comment, kept as
// the last word with the rest of the line.
std::vector<std::string_view> tokens(std::string_view line) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isBlank(line[i])) ++i;
    const size_t start = i;
    if (start < line.size() && line[start] == '#') {
      out.push_back(line.substr(start));
      break;
    }
    while (i < line.size() && !isBlank(line[i])) ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

// A number's decimal digits as written, for judging it beyond what a double
// holds: the power of ten of its first significant digit, and whether that
// digit is a 1 with only zeros after it. The token has a valid number's syntax.
struct Written {
  long order = 0;
  bool powerOfTen = false;
};

Written written(std::string_view token) {
  Written w;
  if (token[0] == '-' || token[0] == '+') token.remove_prefix(1);
  const size_t e = token.find_first_of("eE");
  const std::string_view digits = token.substr(0, e);
  long exponent = 0;
  if (e != std::string_view::npos) {
    std::string_view rest = token.substr(e + 1);
    const bool negative = !rest.empty() && rest[0] == '-';
    if (!rest.empty() && (rest[0] == '-' || rest[0] == '+')) rest.remove_prefix(1);
    // Saturated: an exponent this large or small already decides the order.
    for (char c : rest) exponent = std::min(exponent * 10 + (c - '0'), 1000000000L);
    if (negative) exponent = -exponent;
  }
  long position = static_cast<long>(std::min(digits.find('.'), digits.size()));  // of the point
  bool first = true;
  long index = 0;
  for (char c : digits) {
    if (c == '.') continue;
    ++index;
    if (c < '1' || c > '9') continue;
    if (first) {
      w.order = position - index + exponent;
      w.powerOfTen = c == '1';
      first = false;
    } else {
      w.powerOfTen = false;
    }
  }
  return w;
}

// The whole token as a finite double whose magnitude, as written, is at most
// the limit; false otherwise. A number too small for a double to hold reads
// as zero of its sign.
bool parseDouble(std::string_view token, double& value) {
  if (token.size() > 1 && token[0] == '+' && token[1] != '-') token.remove_prefix(1);
  const char* end = token.data() + token.size();
  const std::from_chars_result read = std::from_chars(token.data(), end, value);
  if (read.ptr != end) return false;
  if (read.ec == std::errc::result_out_of_range) {
    if (written(token).order >= 0) return false;
    value = token[0] == '-' ? -0.0 : 0.0;
  } else if (read.ec != std::errc() || !std::isfinite(value)) {
    return false;
  }
  // Rounding may bring a number just above the limit down onto it.
  if (std::fabs(value) == kValueLimit) {
    const Written w = written(token);
    return w.order < kValueLimitOrder || w.powerOfTen;
  }
  return std::fabs(value) < kValueLimit;
}

bool parseNumber(std::string_view token, double& value) { return parseDouble(token, value); }

// A float is judged as a double is, then read as a float; one too small for a
// float to hold is rounded, to zero or below the normal range.
bool parseNumber(std::string_view token, float& value) {
  double wide = 0.0;
  if (!parseDouble(token, wide)) return false;
  if (token[0] == '+') token.remove_prefix(1);
  const char* end = token.data() + token.size();
  const std::from_chars_result read = std::from_chars(token.data(), end, value);
  if (read.ec != std::errc() || read.ptr != end) value = static_cast<float>(wide);
  return true;
}

// Reads the lines of a pose in order, keeping the first error.
class Reader {
 public:
  explicit Reader(const Figure& figure) : segments(figure.segments()) {
    for (size_t i = 0; i < segments.size(); ++i) byName.emplace(segments[i]->name, i);
    reading.pose.params.resize(segments.size());
    seen.assign(segments.size(), false);
  }

  Reading run(std::string_view text) {
    if (std::string refusal = sizeRefusal(text.size()); !refusal.empty()) return fail(refusal);
    // Some programs end what they put on the clipboard with a NUL.
    while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
    // Some editors begin a UTF-8 file with a byte-order mark.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    // A line end after the last line begins no empty line: the line numbers
    // end at the text's last line.
    size_t start = 0;
    while (start < text.size() && reading.error.empty()) {
      const size_t end = std::min(text.find('\n', start), text.size());
      ++lineNumber;
      line(tokens(text.substr(start, end - start)));
      start = end + 1;
    }
    if (reading.error.empty()) finish();
    return reading;
  }

 private:
  Reading fail(const std::string& what) {
    reading.error = what;
    return reading;
  }
  void failHere(const std::string& what) { fail("line " + std::to_string(lineNumber) + ": " + what); }

  void line(std::vector<std::string_view> words) {
    anyWords |= !words.empty();
    if (!words.empty() && words.back()[0] == '#') words.pop_back();
    if (words.empty()) return;
    if (!headerSeen) return header(words);
    if (words[0] == "handle") return handle(words);
    segment(words);
  }

  void header(const std::vector<std::string_view>& words) {
    if (words.size() < 2 || words[0] != "mannequin" || words[1] != "pose") {
      return failHere("not a mannequin pose: it begins with " + quoted(words[0]));
    }
    if (words.size() < 3 || words[2] != std::to_string(kVersion)) {
      const std::string version = words.size() > 2 ? quoted(words[2]) : "no version";
      return failHere("unknown version " + version + " of the pose format (this program reads " +
                      std::to_string(kVersion) + ")");
    }
    if (words.size() > 3) return failHere("unexpected " + quoted(words[3]) + " after the version");
    headerSeen = true;
  }

  void segment(const std::vector<std::string_view>& words) {
    const auto it = byName.find(std::string(words[0]));
    if (it == byName.end()) return failHere("unknown segment " + quoted(words[0]));
    const size_t i = it->second;
    if (seen[i]) return failHere("segment " + quoted(words[0]) + " is given twice");
    seen[i] = true;
    const Transform& joint = *segments[i]->joint;
    const size_t count = words.size() - 1;
    if (count != static_cast<size_t>(joint.dofCount())) {
      return failHere("segment " + quoted(words[0]) + " takes " + std::to_string(joint.dofCount()) +
                      " values, not " + std::to_string(count));
    }
    std::vector<double>& values = reading.pose.params[i];
    values.resize(count);
    for (size_t k = 0; k < count; ++k) {
      if (!parseNumber(words[k + 1], values[k])) return failHere(badNumber(words[k + 1]));
    }
    checkQuaternions(words[0], paramKinds(joint), values);
  }

  void checkQuaternions(std::string_view name, const std::vector<ParamKind>& kinds, const std::vector<double>& v) {
    for (size_t k = 0; k + 3 < kinds.size(); ++k) {
      if (kinds[k] != ParamKind::QuatX) continue;
      const double length = std::sqrt(v[k] * v[k] + v[k + 1] * v[k + 1] + v[k + 2] * v[k + 2] + v[k + 3] * v[k + 3]);
      if (!(length >= kShortestQuaternion)) {
        return failHere("segment " + quoted(name) + " has a quaternion of length " + shortest(length) +
                        ", too short to give a rotation");
      }
    }
  }

  void handle(const std::vector<std::string_view>& words) {
    if (words.size() != 8) {
      return failHere("a handle line is: handle SEGMENT and six numbers (local point, target), not " +
                      std::to_string(words.size() - 1) + " words");
    }
    if (reading.pose.pins.size() == kHandleLimit) {
      return failHere("more than " + std::to_string(kHandleLimit) + " handles");
    }
    const auto it = byName.find(std::string(words[1]));
    if (it == byName.end()) return failHere("handle on unknown segment " + quoted(words[1]));
    float v[6];
    for (int k = 0; k < 6; ++k) {
      if (!parseNumber(words[k + 2], v[k])) return failHere(badNumber(words[k + 2]));
    }
    reading.pose.pins.push_back({segments[it->second], Vec3(v[0], v[1], v[2]), Vec3(v[3], v[4], v[5])});
  }

  static std::string badNumber(std::string_view token) {
    return quoted(token) + " is not a finite number of magnitude at most " + std::to_string(int(kValueLimit));
  }

  void finish() {
    if (!headerSeen) {
      return (void)fail(anyWords ? "not a mannequin pose: the text holds no header line"
                                 : "not a mannequin pose: the text is empty");
    }
    for (size_t i = 0; i < segments.size(); ++i) {
      if (!seen[i]) return (void)fail("after line " + std::to_string(lineNumber) + ": segment " +
                                      quoted(segments[i]->name) + " is missing");
    }
  }

  std::vector<Segment*> segments;
  std::map<std::string, size_t> byName;
  std::vector<bool> seen;
  Reading reading;
  bool headerSeen = false;
  bool anyWords = false;
  int lineNumber = 0;
};

}  // namespace

std::string write(const Figure& figure) {
  const Pose pose = currentPose(figure);
  std::string out = std::string(kHeader) + " " + std::to_string(kVersion) + "\n";
  const std::vector<Segment*> all = figure.segments();
  for (size_t i = 0; i < all.size(); ++i) {
    out += all[i]->name;
    for (double v : pose.params[i]) appendNumber(out, v);
    out += '\n';
  }
  for (const Pose::Pin& pin : pose.pins) {
    out += std::string("handle ") + pin.segment->name;
    appendPoint(out, pin.localPos);
    appendPoint(out, pin.targetPos);
    out += '\n';
  }
  return out;
}

bool readNumber(std::string_view token, double& value) { return parseDouble(token, value); }

std::string sizeRefusal(std::size_t bytes) {
  if (bytes <= kSizeLimit) return "";
  return "the text is " + std::to_string(bytes) + " bytes, more than the " + std::to_string(kSizeLimit) +
         " a pose may have";
}

Reading read(const Figure& figure, std::string_view text) { return Reader(figure).run(text); }

Writing checkedWrite(const Figure& figure) {
  Writing writing{write(figure), ""};
  writing.error = read(figure, writing.text).error;
  if (!writing.error.empty()) writing.text.clear();
  return writing;
}

Pasting paste(Figure& figure, std::string_view text, bool mirrored) {
  Reading reading = read(figure, text);
  if (!reading.error.empty()) return {reading.error, {}};
  return paste(figure, std::move(reading.pose), mirrored);
}

Pasting paste(Figure& figure, Pose pose, bool mirrored) {
  if (mirrored) {
    MirrorResult mirror = mirrorPose(figure, pose);
    if (!mirror.error.empty()) return {mirror.error, {}};
    pose = std::move(mirror.pose);
  }
  return {"", applyPose(figure, pose)};
}

}  // namespace pose_text
