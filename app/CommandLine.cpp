#include "app/CommandLine.h"

CommandLine parseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  bool options = true;  // until "--": what follows it are file names
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "--help" || arg == "-h")) {
      return {CommandLine::Action::Help, {}};
    } else if (options && arg == "--version") {
      return {CommandLine::Action::Version, {}};
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      continue;
    } else if (!line.file) {
      line.file = arg;
    }
  }
  return line;
}

std::string usage() {
  return "usage: mannequin [FILE]\n"
         "Pose a 3-D human figure by dragging points on its body; FILE is a pose\n"
         "file (.pose) to open at start-up.\n"
         "  -h, --help  print this and exit\n"
         "  --version   print the version and exit\n"
         "Other options are ignored.\n";
}
