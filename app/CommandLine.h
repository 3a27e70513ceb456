#pragma once

#include <string>

// What the command line asks for. Parsed before anything needs a display, so
// that --help, --version and a wrong option work without one.
struct CommandLine {
  enum class Action { Run, Help, Version, Misuse };
  Action action = Action::Run;
  std::string file;     // to open at start-up; empty for none
  std::string problem;  // for Misuse: what is wrong, in one line
};

CommandLine parseCommandLine(int argc, const char* const* argv);

// mannequin [FILE], with the options, one per line.
std::string usage();
