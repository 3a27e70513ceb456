#include "app/CommandLine.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

// A frame number from 1, as written in full; 0 when it is none.
int frameNumber(const char* text) {
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(text, &end, 10);
  return errno == 0 && end != text && *end == '\0' && n >= 1 && n <= INT_MAX ? static_cast<int>(n) : 0;
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  bool options = true;  // until "--": what follows it are file names
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
    } else if (options && arg == "--bvh") {
      line.action = CommandLine::Action::WriteBvh;
    } else if (options && arg == "--frame") {
      line.frame = i + 1 < argc ? frameNumber(argv[++i]) : 0;
      if (line.frame == 0) line.error = "--frame takes a frame number from 1";
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      continue;
    } else if (!line.file) {
      line.file = arg;
    }
  }
  if (line.action == CommandLine::Action::WriteBvh && !line.file && line.error.empty()) {
    line.error = "--bvh takes a pose file";
  }
  return line;
}

std::string usage() {
  return "usage: mannequin [FILE]\n"
         "Pose a 3-D human figure by dragging points on its body; FILE is a pose\n"
         "file (.pose) to open at start-up.\n"
         "  --bvh       write FILE's pose as BVH on standard output and exit\n"
         "  --frame N   take frame N of a BVH FILE (from 1)\n"
         "  -h, --help  print this and exit\n"
         "  --version   print the version and exit\n"
         "Other options are ignored.\n";
}
