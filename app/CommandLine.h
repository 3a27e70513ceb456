#pragma once

#include <optional>
#include <string>

// What the command line asks for. Parsed before anything needs a display, so
// that --help and --version work without one. Any other argument that starts
// with '-' is ignored, as every argument was before there were any to take,
// and so are the names after the first.
struct CommandLine {
  // WriteBvh: FILE's pose as BVH on standard output, with no display.
  enum class Action { Run, Help, Version, WriteBvh };
  Action action = Action::Run;
  std::optional<std::string> file;  // to open at start-up; the empty name is a name too
  int frame = 1;                    // of a BVH FILE, from 1
  std::string error;                // one line when the options cannot be taken
};

CommandLine parseCommandLine(int argc, const char* const* argv);

// mannequin [FILE], with the options, one per line.
std::string usage();
