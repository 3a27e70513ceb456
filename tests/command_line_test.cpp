// The command line, parsed before anything needs a display.
#include <gtest/gtest.h>

#include <vector>

#include "app/CommandLine.h"

namespace {

CommandLine parsed(std::vector<const char*> args) {
  args.insert(args.begin(), "mannequin");
  return parseCommandLine(static_cast<int>(args.size()), args.data());
}

using Action = CommandLine::Action;

}  // namespace

TEST(CommandLine, NothingOrOneFileRuns) {
  EXPECT_EQ(parsed({}).action, Action::Run);
  EXPECT_EQ(parsed({}).file, std::nullopt);
  // The empty name is a name, and the names after it are ignored.
  EXPECT_EQ(parsed({"", "y.pose"}).file, "");
  EXPECT_EQ(parsed({"pose.pose"}).file, "pose.pose");
  EXPECT_EQ(parsed({"-"}).file, "-");
  // After "--" a name that looks like an option is a file's.
  EXPECT_EQ(parsed({"--", "--help"}).file, "--help");
  EXPECT_EQ(parsed({"--", "--help"}).action, Action::Run);
}

TEST(CommandLine, HelpAndVersionAndNothingElseAreOptions) {
  EXPECT_EQ(parsed({"--help"}).action, Action::Help);
  EXPECT_EQ(parsed({"-h"}).action, Action::Help);
  EXPECT_EQ(parsed({"pose.pose", "--version"}).action, Action::Version);
  // Anything else is ignored, as the program always ignored its arguments.
  const CommandLine other = parsed({"--helpme", "-x", "a.pose", "b.pose"});
  EXPECT_EQ(other.action, Action::Run);
  EXPECT_EQ(other.file, "a.pose");
  EXPECT_EQ(usage().rfind("usage: mannequin [FILE]\n", 0), 0u);
}
