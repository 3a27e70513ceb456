#include "app/CommandLine.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

// A whole number from 1 to most, as written in full; 0 when it is none.
int wholeNumber(const char* text, long most = INT_MAX) {
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(text, &end, 10);
  return errno == 0 && end != text && *end == '\0' && n >= 1 && n <= most ? static_cast<int>(n) : 0;
}

// The position of text among the names, or -1.
int nameIndex(const char* text, std::initializer_list<const char*> names) {
  int i = 0;
  for (const char* name : names) {
    if (std::strcmp(text, name) == 0) return i;
    ++i;
  }
  return -1;
}

// One of the picture's options and its value; false when arg is none of them.
bool takePictureOption(const std::string& arg, const char* value, CommandLine& line) {
  // The next option is no value: "--png --view front F" names no picture.
  const char* given = value && !(value[0] == '-' && value[1] != '\0') ? value : "";
  if (arg == "--png") {
    line.picture = given;
    if (line.picture.empty()) line.error = "--png takes the picture's file name";
  } else if (arg == "--view") {
    const int side = nameIndex(given, {"front", "back", "right", "left", "top", "bottom"});
    if (side < 0) line.error = "--view takes front, back, left, right, top or bottom";
    if (side >= 0) line.view = static_cast<ViewSide>(side);
  } else if (arg == "--scale") {
    line.scale = wholeNumber(given, 8);
    if (line.scale == 0) line.error = "--scale takes a whole number from 1 to 8";
  } else if (arg == "--width") {
    line.width = wholeNumber(given, PictureOptions::kMaxSide);
    if (line.width == 0) line.error = "--width takes a whole number of pixels from 1 to 8192";
  } else if (arg == "--background") {
    const int background = nameIndex(given, {"black", "white", "transparent"});
    if (background < 0) line.error = "--background takes transparent, white or black";
    if (background >= 0) line.background = static_cast<PictureOptions::Background>(background);
  } else if (arg == "--style") {
    const int style = nameIndex(given, {"plain", "clay"});
    if (style < 0) line.error = "--style takes clay or plain";
    if (style >= 0) line.style = static_cast<PictureOptions::Style>(style);
  } else {
    return false;
  }
  return true;
}

// A decimal number from 0 to 1, as written in full; none for anything else.
// strtod alone would take blanks before it and C's hexadecimal, and calls
// the tiniest numbers out of range although they are in it.
std::optional<double> amountOf(const char* text) {
  if (std::strspn(text, "0123456789.eE+-") != std::strlen(text)) return std::nullopt;
  char* end = nullptr;
  const double a = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(a >= 0.0 && a <= 1.0)) return std::nullopt;
  return a;
}

// One of the apply's options and its value; false when arg is none of them.
bool takeApplyOption(const std::string& arg, const char* value, CommandLine& line, int& i) {
  const char* given = value ? value : "";
  // The next option is no file or part: "--apply --part arms O" names no pose file.
  const bool option = given[0] == '-' && given[1] != '\0';
  if ((arg == "--apply" || arg == "--part") && option) given = "", value = nullptr;
  if (arg == "--apply") {
    line.applied = given;
    if (line.applied.empty()) line.error = "--apply takes a pose file";
  } else if (arg == "--part") {
    const std::optional<BodyPart> part = body_part::named(given);
    if (!part) line.error = "--part takes " + body_part::namesListed();
    line.part = part.value_or(BodyPart::Whole);
  } else if (arg == "--amount") {
    const std::optional<double> amount = amountOf(given);
    if (!amount) line.error = "--amount takes a number from 0 to 1";
    line.amount = amount.value_or(1.0);
  } else if (arg == "--mirror") {
    line.mirrored = true;
    line.applyAsked = true;
    return true;
  } else {
    return false;
  }
  line.applyAsked = true;
  i += value != nullptr;
  return true;
}

// What the options say together that none says alone.
std::string combinationError(const CommandLine& line, bool scaleGiven, bool pictureOptionGiven, bool styleGiven) {
  const bool png = !line.picture.empty();
  if (!png && line.references) return "--references goes with --png";
  if (png && line.action == CommandLine::Action::WriteBvh) return "--png and --bvh cannot both be given";
  if (!png && styleGiven) return "--style goes with --png";
  if (!png && pictureOptionGiven) return "--view, --scale, --width and --background go with --png";
  if (scaleGiven && line.width) return "--scale and --width cannot both be given";
  if (line.action == CommandLine::Action::WriteBvh && !line.file) return "--bvh takes a pose file";
  if (line.action == CommandLine::Action::PrintPose && !line.file) return "--pose takes a file";
  if (png && line.action == CommandLine::Action::PrintPose) return "--png and --pose cannot both be given";
  if (!line.rig.empty() && line.action != CommandLine::Action::WriteBvh) return "--rig goes with --bvh";
  if (png && !line.file) return "--png takes a pose file";
  if (line.thumbnail && !png) return "--thumbnail goes with --png";
  if (line.thumbnail && styleGiven) return "--thumbnail draws its own look: no --style";
  if (line.thumbnail && pictureOptionGiven) return "--thumbnail draws its own view and size: no --view, --scale, --width or --background";
  if (line.applyAsked && line.action != CommandLine::Action::PrintPose) return "--apply, --part, --mirror and --amount go with --pose";
  if (line.applyAsked && line.applied.empty()) return "--part, --mirror and --amount go with --apply";
  return "";
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  bool options = true;  // until "--": what follows it are file names
  bool scaleGiven = false, pictureOptionGiven = false, styleGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "--help" || arg == "-h")) {
      line.action = CommandLine::Action::Help;
      return line;
    } else if (options && arg == "--version") {
      line.action = CommandLine::Action::Version;
      return line;
    } else if (options && (arg == "--bvh" || arg == "--pose")) {
      const auto action = arg == "--bvh" ? CommandLine::Action::WriteBvh : CommandLine::Action::PrintPose;
      if (line.action != CommandLine::Action::Run && line.action != action) line.error = "--bvh and --pose cannot both be given";
      line.action = action;
    } else if (options && arg == "--rig") {
      const char* given = i + 1 < argc ? argv[++i] : "";
      line.rig = given;
      if (line.rig != "cmu" && line.rig != "mixamo") line.error = "--rig takes cmu or mixamo";
    } else if (options && arg == "--frame") {
      line.frame = i + 1 < argc ? wholeNumber(argv[++i]) : 0;
      line.frameAsked = true;
      if (line.frame == 0) line.error = "--frame takes a frame number from 1";
    } else if (options && takeApplyOption(arg, i + 1 < argc ? argv[i + 1] : nullptr, line, i)) {
      continue;
    } else if (options && arg == "--thumbnail") {
      line.thumbnail = true;
      line.pictureAsked = true;
    } else if (options && arg == "--references") {
      line.references = line.pictureAsked = true;
    } else if (options && takePictureOption(arg, i + 1 < argc ? argv[i + 1] : nullptr, line)) {
      scaleGiven = scaleGiven || arg == "--scale";
      styleGiven = styleGiven || arg == "--style";
      pictureOptionGiven = pictureOptionGiven || arg != "--png";
      line.pictureAsked = true;
      i += i + 1 < argc && !(argv[i + 1][0] == '-' && argv[i + 1][1] != '\0');
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      continue;
    } else if (!line.file) {
      line.file = arg;
    }
  }
  if (line.error.empty()) line.error = combinationError(line, scaleGiven, pictureOptionGiven, styleGiven);
  if (!line.picture.empty() && line.action == CommandLine::Action::Run) line.action = CommandLine::Action::WritePng;
  return line;
}

std::string usage() {
  return "usage: mannequin [FILE]\n"
         "Pose a 3-D human figure by dragging points on its body; FILE is a pose\n"
         "file (.pose), a BVH file (the figure's own or a motion capture's) or a\n"
         "picture the program made, to open at start-up.\n"
         "  --bvh       write FILE's pose as BVH on standard output and exit\n"
         "  --rig cmu|mixamo\n"
         "              with --bvh: on that rig's skeleton, a T-pose rest facing +Z\n"
         "  --pose      print FILE's pose as pose text on standard output and exit\n"
         "  --frame N   take frame N of a BVH FILE (from 1), a capture's fitted\n"
         "  --png OUT   draw FILE's pose into the picture OUT and exit; needs a display\n"
         "  --view front|back|left|right|top|bottom\n"
         "              the picture's camera (without it, the file's own; for a file\n"
         "              without one, the whole figure from the start camera's side)\n"
         "  --scale N   a picture 690N x 665N pixels, N from 1 to 8 (1 without it)\n"
         "  --width W   a picture W pixels wide (to 8192) in those proportions\n"
         "  --background transparent|white|black\n"
         "              the picture's background (black without it)\n"
         "  --thumbnail with --png: the pose library's picture, 256 x 256, framed whole\n"
         "              from the front on a transparent background\n"
         "  --apply OTHER\n"
         "              with --pose: print FILE's pose with OTHER's applied over it\n"
         "  --part P    with --apply: only to part P, one of whole (without it),\n"
         "              head, trunk, left-arm, right-arm, arms, left-leg,\n"
         "              right-leg, legs\n"
         "  --mirror    with --apply: OTHER's pose mirrored (its right side on the left)\n"
         "  --amount A  with --apply: how much of it, from 0 to 1 (1 without it)\n"
         "  --style clay|plain\n"
         "              the picture's look (plain without it; clay is antialiased)\n"
         "  --references\n"
         "              the reference picture of the camera's view behind the figure\n"
         "  -h, --help  print this and exit\n"
         "  --version   print the version and exit\n"
         "Other options are ignored.\n";
}
