// The command line, parsed before anything needs a display.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/CommandLine.h"
#include "app/PngTarget.h"
#include "temp_folder.h"

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
// camera, at the view's size, on black; the options in any order.
TEST(CommandLine, PngDrawsTheFilesPoseIntoAPicture) {
  const CommandLine plain = parsed({"--png", "out.png", "pose.pose"});
  EXPECT_EQ(plain.action, Action::WritePng);
  EXPECT_EQ(plain.picture, "out.png");
  EXPECT_EQ(plain.file, "pose.pose");
  EXPECT_EQ(plain.view, std::nullopt);
  EXPECT_EQ(plain.scale, 1);
  EXPECT_EQ(plain.background, PictureOptions::Background::Black);
  const CommandLine all =
      parsed({"picture.png", "--background", "transparent", "--view", "top", "--width", "1200", "--png", "s.png"});
  EXPECT_EQ(all.error, "");
  EXPECT_EQ(all.file, "picture.png");
  EXPECT_EQ(all.view, ViewSide::Top);
  EXPECT_EQ(all.width, 1200);
  EXPECT_EQ(all.background, PictureOptions::Background::Transparent);
  EXPECT_EQ(parsed({"--png", "o.png", "--view", "left", "p"}).view, ViewSide::Left);
  EXPECT_EQ(parsed({"--png", "o.png", "--", "--scale"}).file, "--scale");
}

// Each limit on both sides, and what is no whole number written in full.
TEST(CommandLine, ThePicturesSizeIsTakenToItsLimits) {
  const std::string scaleError = "--scale takes a whole number from 1 to 8";
  const std::string widthError = "--width takes a whole number of pixels from 1 to 8192";
  const std::tuple<const char*, const char*, std::string> cases[] = {
      {"--scale", "0", scaleError}, {"--scale", "1", ""},          {"--scale", "8", ""},
      {"--scale", "9", scaleError}, {"--scale", "2x", scaleError}, {"--width", "0", widthError},
      {"--width", "1", ""},         {"--width", "8192", ""},       {"--width", "8193", widthError},
      {"--width", "", widthError},  {"--view", "side", "--view takes front, back, left, right, top or bottom"},
      {"--background", "grey", "--background takes transparent, white or black"},
  };
  for (const auto& [option, value, error] : cases) {
    const CommandLine line = parsed({"--png", "out.png", option, value, "pose.pose"});
    EXPECT_EQ(line.error, error) << option << " " << value;
    EXPECT_EQ(line.action, Action::WritePng);
  }
  EXPECT_EQ(parsed({"--png", "o.png", "--scale", "8", "p"}).scale, 8);
  EXPECT_EQ(parsed({"--png", "o.png", "--width", "8192", "p"}).width, 8192);
}

// Options that do not go together, or lack their value, are refused with
// one line each, and the program exits with status 1.
// A flag: the file after it is FILE.
TEST(CommandLine, ReferencesAreAskedForByAFlag) {
  const CommandLine line = parsed({"--png", "o.png", "--references", "p.pose"});
  EXPECT_EQ(std::make_tuple(line.error, line.references, *line.file), std::make_tuple(std::string(), true, std::string("p.pose")));
  EXPECT_FALSE(parsed({"--png", "o.png", "p.pose"}).references);
}

TEST(CommandLine, PictureOptionsThatDoNotGoTogetherAreRefused) {
  const std::pair<std::vector<const char*>, std::string> cases[] = {
      {{"--png", "o.png", "--scale", "2", "--width", "100", "p"}, "--scale and --width cannot both be given"},
      {{"--png", "o.png"}, "--png takes a pose file"},
      {{"--bvh", "--png", "o.png", "p"}, "--png and --bvh cannot both be given"},
      {{"p", "--png"}, "--png takes the picture's file name"},
      // The next option is no picture's name.
      {{"--png", "--view", "front", "p"}, "--png takes the picture's file name"},
      {{"--width", "100", "p"}, "--view, --scale, --width and --background go with --png"},
      {{"--png", "o.png", "--style", "chalk", "p"}, "--style takes clay or plain"},
      {{"--png", "o.png", "--style", "p"}, "--style takes clay or plain"},
      {{"--style", "clay", "p"}, "--style goes with --png"},
      {{"--references", "p"}, "--references goes with --png"},
  };
  for (const auto& [args, error] : cases) {
    const CommandLine line = parsed(args);
    EXPECT_EQ(line.error, error) << args[0];
    EXPECT_TRUE(line.pictureAsked) << args[0];
  }
  EXPECT_FALSE(parsed({"--frame", "0", "p"}).pictureAsked);
  EXPECT_EQ(parsed({"--png", "o.png", "p"}).style, PictureOptions::Style::Plain);
  EXPECT_EQ(parsed({"--png", "o.png", "--style", "clay", "p"}).style, PictureOptions::Style::Clay);
  EXPECT_EQ(parsed({"--style", "plain", "--png", "o.png", "p"}).error, "");
  EXPECT_EQ(parsed({"--png", "out.png", "--scale", "9", "--help"}).action, Action::Help);
}

// A name that is already no regular file, as typed or with ".png" added, is
// no picture's: never one written beside it.
TEST(CommandLine, PngIsRefusedOntoWhatIsNoRegularFile) {
  TempFolder folder;
  const std::string fifo = folder.pathOf("fifo"), pipe = folder.pathOf("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600) | mkfifo((pipe + ".png").c_str(), 0600), 0);
  EXPECT_EQ(pngTargetRefusal(fifo), "--png: " + fifo + ": it is not a regular file");
  EXPECT_EQ(pngTargetRefusal(pipe), "--png: " + pipe + ".png: it is not a regular file");
  EXPECT_EQ(pngTargetRefusal(folder.path), "--png: " + folder.path + ": it is a folder");
  TempFolder::put(folder.pathOf("old.png"), "old");
  for (const char* name : {"old", "old.png", "new", "fifo.png"}) EXPECT_EQ(pngTargetRefusal(folder.pathOf(name)), "");
}

// --pose FILE prints FILE's pose; --rig names the skeleton --bvh writes on.
TEST(CommandLine, PosePrintsAndRigGoesWithBvh) {
  const CommandLine pose = parsed({"--pose", "take.bvh", "--frame", "12"});
  EXPECT_EQ(pose.action, Action::PrintPose);
  EXPECT_EQ(pose.file, "take.bvh");
  EXPECT_EQ(pose.frame, 12);
  EXPECT_EQ(pose.error, "");
  EXPECT_EQ(parsed({"--pose"}).error, "--pose takes a file");
  EXPECT_EQ(parsed({"--pose", "a.pose", "--bvh"}).error, "--bvh and --pose cannot both be given");
  EXPECT_EQ(parsed({"--pose", "a.pose", "--png", "a.png"}).error, "--png and --pose cannot both be given");
  for (const char* name : {"cmu", "mixamo"}) {
    const CommandLine rig = parsed({"--bvh", "--rig", name, "a.pose"});
    EXPECT_EQ(rig.error, "");
    EXPECT_EQ(rig.rig, name);
    EXPECT_EQ(rig.file, "a.pose");
  }
  EXPECT_EQ(parsed({"--bvh", "a.pose"}).rig, "");
  EXPECT_EQ(parsed({"--bvh", "--rig", "CMU", "a.pose"}).error, "--rig takes cmu or mixamo");
  EXPECT_EQ(parsed({"--bvh", "a.pose", "--rig"}).error, "--rig takes cmu or mixamo");
  EXPECT_EQ(parsed({"--rig", "cmu", "a.pose"}).error, "--rig goes with --bvh");
}

// --frame takes the next argument as its number, and the file comes after
// it; a frame is counted from 1.
TEST(CommandLine, FrameTakesTheNumberAfterItAndTheFileAfterThat) {
  const CommandLine second = parsed({"--frame", "2", "walk.bvh"});
  EXPECT_EQ(second.error, "");
  EXPECT_EQ(second.frame, 2);
  EXPECT_EQ(second.file, "walk.bvh");
  EXPECT_EQ(parsed({"walk.bvh", "--frame", "1"}).file, "walk.bvh");
  EXPECT_EQ(parsed({"walk.bvh"}).frame, 1);
  const std::string frameError = "--frame takes a frame number from 1";
  for (const char* refused : {"0", "-1", "x", "2.5"}) {
    EXPECT_EQ(parsed({"--frame", refused, "walk.bvh"}).error, frameError) << refused;
  }
  EXPECT_EQ(parsed({"walk.bvh", "--frame"}).error, frameError);
}

// --apply OTHER goes with --pose; --part names a part, --amount runs from 0
// to 1, both ends taken.
TEST(CommandLine, ApplyTakesAPartAMirrorAndAnAmountWithinTheirLimits) {
  const CommandLine apply =
      parsed({"--pose", "base.pose", "--apply", "other.png", "--part", "left-arm", "--mirror", "--amount", "0.25"});
  EXPECT_EQ(std::make_tuple(apply.error, apply.applied, apply.part, apply.mirrored, apply.amount),
            std::make_tuple(std::string(), std::string("other.png"), BodyPart::LeftArm, true, 0.25));
  EXPECT_EQ(apply.file, "base.pose");
  for (const char* amount : {"0", "1", "1e0"}) {
    EXPECT_EQ(parsed({"--pose", "b", "--apply", "o", "--amount", amount}).error, "") << amount;
  }
  for (const char* amount : {"-0.0001", "1.0001", "x", "0.5x", "nan", ""}) {
    EXPECT_EQ(parsed({"--pose", "b", "--apply", "o", "--amount", amount}).error, "--amount takes a number from 0 to 1")
        << amount;
  }
  EXPECT_EQ(parsed({"--pose", "b", "--apply", "o", "--part", "tail"}).error,
            "--part takes whole, head, trunk, left-arm, right-arm, arms, left-leg, right-leg, legs");
  EXPECT_EQ(parsed({"--pose", "b", "--part", "legs"}).error, "--part, --mirror and --amount go with --apply");
  const CommandLine alone = parsed({"b", "--apply", "o"});
  EXPECT_EQ(alone.error, "--apply, --part, --mirror and --amount go with --pose");
  EXPECT_TRUE(alone.applyAsked);
  EXPECT_EQ(parsed({"--pose", "b", "--apply"}).error, "--apply takes a pose file");
  EXPECT_EQ(parsed({"b", "--thumbnail"}).error, "--thumbnail goes with --png");
  EXPECT_TRUE(parsed({"b", "--png", "o.png", "--thumbnail"}).thumbnail);
}

// The amount is a decimal number as written: the tiniest one above 0 is one
// too, while C's hexadecimal and blanks around it are none. An option is
// no value of --apply or --part.
TEST(CommandLine, TheAmountIsADecimalAndOptionsAreNoValues) {
  for (const auto& [amount, value] : std::vector<std::pair<const char*, double>>{
           {"1e-320", 1e-320}, {"-0", 0.0}, {"0.9999999", 0.9999999}, {".5", 0.5}, {"1E-300", 1e-300}}) {
    const CommandLine line = parsed({"--pose", "b", "--apply", "o", "--amount", amount});
    EXPECT_EQ(std::make_tuple(line.error, line.amount), std::make_tuple(std::string(), value)) << amount;
  }
  for (const char* amount : {"0x1", "0x0.8p0", " 0.5", "0.5 ", "\t1", "inf", "1e1"}) {
    EXPECT_EQ(parsed({"--pose", "b", "--apply", "o", "--amount", amount}).error, "--amount takes a number from 0 to 1")
        << amount;
  }
  EXPECT_EQ(parsed({"--pose", "b", "--apply", "--part", "arms", "o"}).error, "--apply takes a pose file");
  EXPECT_EQ(parsed({"--pose", "b", "--apply", "o", "--part", "--mirror"}).error,
            "--part takes whole, head, trunk, left-arm, right-arm, arms, left-leg, right-leg, legs");
  EXPECT_TRUE(parsed({"--pose", "b", "--apply", "o", "--part", "--mirror"}).mirrored);
  EXPECT_EQ(parsed({"--pose", "b", "--apply", "-"}).applied, "-");
  EXPECT_EQ(parsed({"b", "--png", "o.png", "--thumbnail", "--style", "clay"}).error,
            "--thumbnail draws its own look: no --style");
}
