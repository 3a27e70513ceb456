// The command line, parsed before anything needs a display.
#include <gtest/gtest.h>

#include <string>
#include <utility>
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

// --png OUT FILE draws FILE's pose into OUT: by default from the start
// camera, at the view's size, on black.
TEST(CommandLine, PngDrawsTheFilesPoseIntoAPicture) {
  const CommandLine plain = parsed({"--png", "out.png", "pose.pose"});
  EXPECT_EQ(plain.action, Action::WritePng);
  EXPECT_EQ(plain.error, "");
  EXPECT_EQ(plain.picture, "out.png");
  EXPECT_EQ(plain.file, "pose.pose");
  EXPECT_EQ(plain.view, std::nullopt);
  EXPECT_EQ(plain.scale, 1);
  EXPECT_EQ(plain.width, 0);
  EXPECT_EQ(plain.background, PictureOptions::Background::Black);

  // The options in any order, before or after FILE; a picture may be FILE.
  const CommandLine all = parsed(
      {"picture.png", "--background", "white", "--view", "top", "--width", "1200", "--png", "sheet.png"});
  EXPECT_EQ(all.action, Action::WritePng);
  EXPECT_EQ(all.error, "");
  EXPECT_EQ(all.picture, "sheet.png");
  EXPECT_EQ(all.file, "picture.png");
  EXPECT_EQ(all.view, ViewSide::Top);
  EXPECT_EQ(all.scale, 1);
  EXPECT_EQ(all.width, 1200);
  EXPECT_EQ(all.background, PictureOptions::Background::White);

  // A BVH's frame too; after "--" an option's name is FILE's.
  EXPECT_EQ(parsed({"--png", "o.png", "--frame", "3", "walk.bvh"}).frame, 3);
  const CommandLine dashed = parsed({"--png", "o.png", "--", "--scale"});
  EXPECT_EQ(dashed.action, Action::WritePng);
  EXPECT_EQ(dashed.file, "--scale");
  EXPECT_EQ(dashed.scale, 1);
  EXPECT_EQ(dashed.error, "");
}

// The size: 690N x 665N with N from 1 to 8, or W pixels wide up to 8192,
// whole numbers written in full. A refused value leaves the action
// WritePng, for which the program exits with status 1.
TEST(CommandLine, ThePicturesSizeIsTakenToItsLimits) {
  const std::string scaleError = "--scale takes a whole number from 1 to 8";
  const std::string widthError = "--width takes a whole number of pixels from 1 to 8192";
  struct Case {
    const char* option;
    const char* value;
    int scale, width;
    std::string error;
  };
  const Case cases[] = {
      {"--scale", "0", 0, 0, scaleError},   {"--scale", "1", 1, 0, ""},
      {"--scale", "8", 8, 0, ""},           {"--scale", "9", 0, 0, scaleError},
      {"--scale", "-1", 0, 0, scaleError},  {"--scale", "2x", 0, 0, scaleError},
      {"--scale", "x2", 0, 0, scaleError},  {"--scale", "1.5", 0, 0, scaleError},
      {"--scale", "", 0, 0, scaleError},    {"--scale", "99999999999999999999", 0, 0, scaleError},
      {"--width", "0", 1, 0, widthError},   {"--width", "1", 1, 1, ""},
      {"--width", "8192", 1, 8192, ""},     {"--width", "8193", 1, 0, widthError},
      {"--width", "-1", 1, 0, widthError},  {"--width", "2x", 1, 0, widthError},
      {"--width", "1e3", 1, 0, widthError}, {"--width", "", 1, 0, widthError},
  };
  for (const Case& c : cases) {
    const CommandLine line = parsed({"--png", "out.png", c.option, c.value, "pose.pose"});
    SCOPED_TRACE(std::string(c.option) + " \"" + c.value + "\"");
    EXPECT_EQ(line.action, Action::WritePng);
    EXPECT_EQ(line.error, c.error);
    EXPECT_EQ(line.scale, c.scale);
    EXPECT_EQ(line.width, c.width);
  }
  // A value left out at the end is the empty one.
  EXPECT_EQ(parsed({"--png", "out.png", "pose.pose", "--scale"}).error, scaleError);
  EXPECT_EQ(parsed({"--png", "out.png", "pose.pose", "--width"}).error, widthError);
}

TEST(CommandLine, ViewsAndBackgroundsGoByTheirNames) {
  const std::pair<const char*, ViewSide> views[] = {
      {"front", ViewSide::Front}, {"back", ViewSide::Back}, {"left", ViewSide::Left},
      {"right", ViewSide::Right}, {"top", ViewSide::Top},   {"bottom", ViewSide::Bottom},
  };
  for (const auto& [name, side] : views) {
    const CommandLine line = parsed({"--png", "out.png", "--view", name, "pose.pose"});
    EXPECT_EQ(line.error, "") << name;
    EXPECT_EQ(line.view, side) << name;
  }
  const std::pair<const char*, PictureOptions::Background> backgrounds[] = {
      {"black", PictureOptions::Background::Black},
      {"white", PictureOptions::Background::White},
      {"transparent", PictureOptions::Background::Transparent},
  };
  for (const auto& [name, background] : backgrounds) {
    const CommandLine line = parsed({"--png", "out.png", "--background", name, "pose.pose"});
    EXPECT_EQ(line.error, "") << name;
    EXPECT_EQ(line.background, background) << name;
  }
  // Other names, other cases and the empty name are refused, still as WritePng.
  for (const char* name : {"side", "Front", "FRONT", " front", ""}) {
    const CommandLine line = parsed({"--png", "out.png", "--view", name, "pose.pose"});
    EXPECT_EQ(line.action, Action::WritePng) << name;
    EXPECT_EQ(line.error, "--view takes front, back, left, right, top or bottom") << name;
    EXPECT_EQ(line.view, std::nullopt) << name;
  }
  for (const char* name : {"grey", "White", "none", ""}) {
    const CommandLine line = parsed({"--png", "out.png", "--background", name, "pose.pose"});
    EXPECT_EQ(line.action, Action::WritePng) << name;
    EXPECT_EQ(line.error, "--background takes transparent, white or black") << name;
    EXPECT_EQ(line.background, PictureOptions::Background::Black) << name;
  }
}

// Options that do not go together are refused with one line each, whatever
// their values.
TEST(CommandLine, PictureOptionsThatDoNotGoTogetherAreRefused) {
  const CommandLine both = parsed({"--png", "out.png", "--scale", "2", "--width", "100", "pose.pose"});
  EXPECT_EQ(both.action, Action::WritePng);
  EXPECT_EQ(both.error, "--scale and --width cannot both be given");
  EXPECT_EQ(parsed({"--png", "out.png", "--width", "100", "--scale", "1", "pose.pose"}).error,
            "--scale and --width cannot both be given");

  const CommandLine noFile = parsed({"--png", "out.png"});
  EXPECT_EQ(noFile.action, Action::WritePng);
  EXPECT_EQ(noFile.error, "--png takes a pose file");

  EXPECT_EQ(parsed({"--png", "out.png", "--bvh", "pose.pose"}).error, "--png and --bvh cannot both be given");
  EXPECT_EQ(parsed({"--bvh", "--png", "out.png", "pose.pose"}).error, "--png and --bvh cannot both be given");

  const std::pair<const char*, const char*> withoutPng[] = {
      {"--view", "front"}, {"--scale", "2"}, {"--width", "100"}, {"--background", "white"}};
  for (const auto& [option, value] : withoutPng) {
    const CommandLine alone = parsed({option, value, "pose.pose"});
    EXPECT_EQ(alone.action, Action::Run) << option;
    EXPECT_EQ(alone.error, "--view, --scale, --width and --background go with --png") << option;
  }

  // --png without its name: at the end, or the empty name.
  for (const std::vector<const char*>& args :
       {std::vector<const char*>{"pose.pose", "--png"}, std::vector<const char*>{"--png", "", "pose.pose"}}) {
    const CommandLine missing = parsed(args);
    EXPECT_EQ(missing.picture, "");
    EXPECT_EQ(missing.error, "--png takes the picture's file name");
  }

  // --help and --version still win.
  EXPECT_EQ(parsed({"--png", "out.png", "--scale", "9", "--help"}).action, Action::Help);
  EXPECT_EQ(parsed({"--view", "front", "--version"}).action, Action::Version);
}
