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

// Nothing, or a file; --help and --version are the only options without
// --png or --pose, and they win over everything else. The empty name is a
// name, and the names after the first are ignored; after "--" a name that
// looks like an option is a file's; other options are ignored, as the
// program always ignored its arguments.
TEST(CommandLine, HelpAndVersionAndNothingElseAreOptions) {
  const std::tuple<std::vector<const char*>, Action, std::optional<std::string>> lines[] = {
      {{}, Action::Run, std::nullopt},
      {{"", "y.pose"}, Action::Run, ""},
      {{"pose.pose"}, Action::Run, "pose.pose"},
      {{"-"}, Action::Run, "-"},
      {{"--", "--help"}, Action::Run, "--help"},
      {{"--helpme", "-x", "a.pose", "b.pose"}, Action::Run, "a.pose"},
      {{"--help"}, Action::Help, std::nullopt},
      {{"-h"}, Action::Help, std::nullopt},
      {{"pose.pose", "--version"}, Action::Version, "pose.pose"},
      {{"--png", "out.png", "--scale", "9", "--help"}, Action::Help, std::nullopt},
  };
  for (const auto& [args, action, file] : lines) {
    const CommandLine line = parsed(args);
    EXPECT_EQ(std::make_pair(line.action, line.file), std::make_pair(action, file))
        << testing::PrintToString(args);
  }
  EXPECT_EQ(usage().rfind("usage: mannequin [FILE]\n", 0), 0u);
}

// --png OUT FILE draws FILE's pose into OUT: by default from the start
// camera, at the view's size, on black, plain; the options in any order,
// each limit taken.
TEST(CommandLine, PngDrawsTheFilesPoseIntoAPicture) {
  const CommandLine plain = parsed({"--png", "out.png", "pose.pose"});
  EXPECT_EQ(std::make_tuple(plain.action, plain.picture, *plain.file, plain.scale, plain.references),
            std::make_tuple(Action::WritePng, std::string("out.png"), std::string("pose.pose"), 1, false));
  EXPECT_EQ(plain.view, std::nullopt);
  EXPECT_EQ(plain.background, PictureOptions::Background::Black);
  EXPECT_EQ(plain.style, PictureOptions::Style::Plain);
  EXPECT_EQ(parsed({"--style", "plain", "--png", "o.png", "p"}).error, "");
  // --references is a flag: the file after it is FILE.
  const CommandLine all = parsed({"--background", "transparent", "--view", "top", "--width", "8192",
                                  "--style", "clay", "--png", "s.png", "--references", "picture.png"});
  EXPECT_EQ(std::make_tuple(all.error, *all.file, all.width, all.references),
            std::make_tuple(std::string(), std::string("picture.png"), 8192, true));
  EXPECT_EQ(all.view, ViewSide::Top);
  EXPECT_EQ(all.background, PictureOptions::Background::Transparent);
  EXPECT_EQ(all.style, PictureOptions::Style::Clay);
  EXPECT_EQ(parsed({"--png", "o.png", "--view", "left", "p"}).view, ViewSide::Left);
  EXPECT_EQ(parsed({"--png", "o.png", "--", "--scale"}).file, "--scale");
  EXPECT_EQ(parsed({"--png", "o.png", "--scale", "8", "p"}).scale, 8);
  EXPECT_TRUE(parsed({"b", "--png", "o.png", "--thumbnail"}).thumbnail);
}

// Each limit on both sides, and options that do not go together or lack
// their value: one line each, and the program exits with status 1.
TEST(CommandLine, PictureOptionsOutOfTheirLimitsOrPlaceAreRefused) {
  const std::string scale = "--scale takes a whole number from 1 to 8";
  const std::string width = "--width takes a whole number of pixels from 1 to 8192";
  const std::pair<std::vector<const char*>, std::string> cases[] = {
      {{"--png", "o.png", "--scale", "0", "p"}, scale},
      {{"--png", "o.png", "--scale", "1", "p"}, ""},
      {{"--png", "o.png", "--scale", "9", "p"}, scale},
      {{"--png", "o.png", "--scale", "2x", "p"}, scale},
      {{"--png", "o.png", "--width", "0", "p"}, width},
      {{"--png", "o.png", "--width", "1", "p"}, ""},
      {{"--png", "o.png", "--width", "8193", "p"}, width},
      {{"--png", "o.png", "--width", "", "p"}, width},
      {{"--png", "o.png", "--view", "side", "p"}, "--view takes front, back, left, right, top or bottom"},
      {{"--png", "o.png", "--background", "grey", "p"}, "--background takes transparent, white or black"},
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
      {{"b", "--png", "o.png", "--thumbnail", "--style", "clay"},
       "--thumbnail draws its own look: no --style"},
  };
  for (const auto& [args, error] : cases) {
    const CommandLine line = parsed(args);
    EXPECT_EQ(line.error, error) << args[0] << " " << args[args.size() - 2];
    EXPECT_TRUE(line.pictureAsked) << args[0];
  }
  EXPECT_FALSE(parsed({"--frame", "0", "p"}).pictureAsked);
  EXPECT_EQ(parsed({"b", "--thumbnail"}).error, "--thumbnail goes with --png");
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

// --pose FILE prints FILE's pose; --frame takes the next argument as its
// number, and the file comes after it; a frame is counted from 1. --rig
// names the skeleton --bvh writes on.
TEST(CommandLine, FrameTakesTheNumberAfterItAndTheFileAfterThat) {
  const CommandLine pose = parsed({"--pose", "take.bvh", "--frame", "12"});
  EXPECT_EQ(std::make_tuple(pose.action, *pose.file, pose.frame, pose.error),
            std::make_tuple(Action::PrintPose, std::string("take.bvh"), 12, std::string()));
  const CommandLine second = parsed({"--frame", "2", "walk.bvh"});
  EXPECT_EQ(std::make_tuple(second.error, second.frame, *second.file),
            std::make_tuple(std::string(), 2, std::string("walk.bvh")));
  EXPECT_EQ(parsed({"walk.bvh", "--frame", "1"}).file, "walk.bvh");
  EXPECT_EQ(parsed({"walk.bvh"}).frame, 1);
  for (const char* name : {"cmu", "mixamo"}) {
    const CommandLine rig = parsed({"--bvh", "--rig", name, "a.pose"});
    EXPECT_EQ(std::make_tuple(rig.error, rig.rig, *rig.file),
              std::make_tuple(std::string(), std::string(name), std::string("a.pose")));
  }
  EXPECT_EQ(parsed({"--bvh", "a.pose"}).rig, "");
}

// --apply OTHER goes with --pose; --part names a part, --amount is a decimal
// number from 0 to 1 as written, both ends taken: the tiniest one above 0 is
// one too.
TEST(CommandLine, ApplyTakesAPartAMirrorAndAnAmountWithinTheirLimits) {
  const CommandLine apply =
      parsed({"--pose", "base.pose", "--apply", "other.png", "--part", "left-arm", "--mirror", "--amount", "0.25"});
  EXPECT_EQ(std::make_tuple(apply.error, apply.applied, apply.part, apply.mirrored, apply.amount),
            std::make_tuple(std::string(), std::string("other.png"), BodyPart::LeftArm, true, 0.25));
  EXPECT_EQ(apply.file, "base.pose");
  const std::pair<const char*, double> amounts[] = {{"0", 0.0}, {"1", 1.0}, {"1e0", 1.0}, {"1e-320", 1e-320},
                                                     {"-0", 0.0}, {".5", 0.5}, {"1E-300", 1e-300},
                                                     {"0.9999999", 0.9999999}};
  for (const auto& [amount, value] : amounts) {
    const CommandLine line = parsed({"--pose", "b", "--apply", "o", "--amount", amount});
    EXPECT_EQ(std::make_tuple(line.error, line.amount), std::make_tuple(std::string(), value)) << amount;
  }
  EXPECT_EQ(parsed({"--pose", "b", "--apply", "o", "--part", "--mirror"}).mirrored, true);
  EXPECT_EQ(parsed({"--pose", "b", "--apply", "-"}).applied, "-");
  EXPECT_TRUE(parsed({"b", "--apply", "o"}).applyAsked);
}

// What --pose, --bvh, --frame and --apply refuse, one line each. C's
// hexadecimal and blanks around it are no amount, and an option is no
// value of --apply or --part.
TEST(CommandLine, PoseBvhFrameAndApplyRefuseWhatTheyCannotTake) {
  const std::string amount = "--amount takes a number from 0 to 1",
                    frame = "--frame takes a frame number from 1";
  const std::string part =
      "--part takes whole, head, trunk, left-arm, right-arm, arms, left-leg, right-leg, legs";
  const std::pair<std::vector<const char*>, std::string> cases[] = {
      {{"--pose"}, "--pose takes a file"},
      {{"--pose", "a.pose", "--bvh"}, "--bvh and --pose cannot both be given"},
      {{"--pose", "a.pose", "--png", "a.png"}, "--png and --pose cannot both be given"},
      {{"--bvh", "--rig", "CMU", "a.pose"}, "--rig takes cmu or mixamo"},
      {{"--bvh", "a.pose", "--rig"}, "--rig takes cmu or mixamo"},
      {{"--rig", "cmu", "a.pose"}, "--rig goes with --bvh"},
      {{"--frame", "0", "walk.bvh"}, frame},
      {{"--frame", "-1", "walk.bvh"}, frame},
      {{"--frame", "x", "walk.bvh"}, frame},
      {{"--frame", "2.5", "walk.bvh"}, frame},
      {{"walk.bvh", "--frame"}, frame},
      {{"--pose", "b", "--apply", "o", "--part", "tail"}, part},
      {{"--pose", "b", "--apply", "o", "--part", "--mirror"}, part},
      {{"--pose", "b", "--part", "legs"}, "--part, --mirror and --amount go with --apply"},
      {{"b", "--apply", "o"}, "--apply, --part, --mirror and --amount go with --pose"},
      {{"--pose", "b", "--apply"}, "--apply takes a pose file"},
      {{"--pose", "b", "--apply", "--part", "arms", "o"}, "--apply takes a pose file"},
  };
  for (const auto& [args, error] : cases)
    EXPECT_EQ(parsed(args).error, error) << args[0] << " " << args.back();
  for (const char* refused :
       {"-0.0001", "1.0001", "x", "0.5x", "nan", "", "0x1", "0x0.8p0", " 0.5", "0.5 ", "\t1", "inf", "1e1"}) {
    EXPECT_EQ(parsed({"--pose", "b", "--apply", "o", "--amount", refused}).error, amount) << refused;
  }
}
