// The pose library's shelves. The poses that come with the program: named in
// lowercase words, each opens as the program writes it, keeps every hinge
// within its limits, carries no handles, rests on the floor, and differs
// clearly from every other. Pictures: which are listed, in which group,
// which are broken, and their thumbnails decoded once.
#include <gtest/gtest.h>

#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <regex>

#include "document/PoseDocument.h"
#include "figure/ParamKinds.h"
#include "humanoid/Humanoid.h"
#include "picture_with_text.h"
#include "pose/PoseLibrary.h"
#include "pose/PoseText.h"
#include "pose/ThumbnailCache.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

// Each pose's file by its name, in order.
std::map<std::string, fs::path> library() {
  std::map<std::string, fs::path> poses;
  for (const auto& entry : fs::directory_iterator(MANNEQUIN_POSES))
    if (entry.path().extension() == ".pose") poses[entry.path().stem().string()] = entry.path();
  return poses;
}

// The largest difference between two poses' joints, in radians: the angle
// between two quaternions' rotations, the difference of two hinge angles.
double largestDifference(const Figure& figure, const Pose& a, const Pose& b) {
  double largest = 0;
  const std::vector<Segment*> segments = figure.segments();
  for (size_t s = 0; s < segments.size(); ++s) {
    const std::vector<ParamKind> kinds = paramKinds(*segments[s]->joint);
    const std::vector<double>& p = a.params[s];
    const std::vector<double>& q = b.params[s];
    for (size_t k = 0; k < kinds.size(); ++k) {
      if (kinds[k] == ParamKind::QuatX) {
        const double dot = p[k] * q[k] + p[k + 1] * q[k + 1] + p[k + 2] * q[k + 2] + p[k + 3] * q[k + 3];
        largest = std::max(largest, 2 * std::acos(std::min(1.0, std::fabs(dot))));
      } else if (kinds[k] == ParamKind::AngleX || kinds[k] == ParamKind::AngleY ||
                 kinds[k] == ParamKind::AngleZ) {
        largest = std::max(largest, std::fabs(p[k] - q[k]));
      }
    }
  }
  return largest;
}

// Every segment the text turns beyond its limits: the figure, its limits
// on, holds it elsewhere.
std::vector<std::string> beyondLimits(const std::string& text) {
  auto figure = buildHumanoid();
  figure->limitsEnabled = true;
  const pose_text::Reading reading = pose_text::read(*figure, text);
  EXPECT_EQ(reading.error, "");
  applyPose(*figure, reading.pose);
  const Pose held = currentPose(*figure);
  std::vector<std::string> beyond;
  for (size_t s = 0; s < held.params.size() && reading.error.empty(); ++s) {
    for (size_t k = 0; k < held.params[s].size(); ++k) {
      if (std::fabs(held.params[s][k] - reading.pose.params[s][k]) > 1e-9)
        beyond.push_back(figure->segments()[s]->name);
    }
  }
  return beyond;
}

// Standing, sitting, kneeling or lying, the body touches the floor (y = 0)
// and nowhere goes below it; only the jump is in the air.
TEST(PoseLibrary, AtLeast24PosesInLowercaseWordsOpenAsWrittenWithoutHandlesOnTheFloor) {
  const std::map<std::string, fs::path> poses = library();
  EXPECT_GE(poses.size(), 24u);
  for (const auto& [name, path] : poses) {
    EXPECT_TRUE(std::regex_match(name, std::regex("[a-z]+(-[a-z]+)*"))) << name;
    PoseDocument document(buildHumanoid());
    const Outcome outcome = document.open(path.string());
    EXPECT_FALSE(outcome.refused) << name << ": " << outcome.words;
    EXPECT_EQ(pose_text::write(document.figure()), TempFolder::contents(path)) << name;
    EXPECT_EQ(document.figure().handleCount(), 0) << name;
    const double lowest = -document.figure().reach(Vec3(0, -1, 0));
    if (name == "jumping") {
      EXPECT_GT(lowest, 0.1);
    } else {
      EXPECT_NEAR(lowest, 0.0, 1e-4) << name;
    }
  }
}

// A single hinge (a knee, a wrist) is not held at its limits when the
// limits are off, as they are when a file opens: the file itself must keep
// within them.
TEST(PoseLibrary, EveryHingeIsWithinItsLimitsAsWritten) {
  for (const auto& [name, path] : library())
    EXPECT_EQ(beyondLimits(TempFolder::contents(path)), std::vector<std::string>()) << name;
  // The knee's limits are 0 and 1.57, each found on its side.
  const std::string text = TempFolder::contents(library().begin()->second);
  const std::size_t line = text.find("h_shin_left ");
  const std::size_t end = text.find('\n', line);
  const auto knee = [&](const std::string& value) {
    return text.substr(0, line) + "h_shin_left " + value + text.substr(end);
  };
  const std::vector<std::string> shin{"h_shin_left"}, none;
  EXPECT_EQ(beyondLimits(knee("-0.001")), shin);
  EXPECT_EQ(beyondLimits(knee("0")), none);
  EXPECT_EQ(beyondLimits(knee("1.57")), none);
  EXPECT_EQ(beyondLimits(knee("1.571")), shin);
}

// Any two differ by more than 30 degrees in some joint: enough to see.
TEST(PoseLibrary, NoTwoPosesAreAlike) {
  const auto figure = buildHumanoid();
  std::vector<std::pair<std::string, Pose>> read;
  for (const auto& [name, path] : library())
    read.emplace_back(name, pose_text::read(*figure, TempFolder::contents(path)).pose);
  for (auto i = read.begin(); i != read.end(); ++i) {
    for (auto j = std::next(i); j != read.end(); ++j) {
      EXPECT_GT(largestDifference(*figure, i->second, j->second), 30 * M_PI / 180)
          << i->first << " and " << j->first;
    }
  }
}

// A picture is listed as broken when it is cut, or its pose is not one of
// this figure's, as it would be refused when chosen; the reason is the pose
// reader's.
TEST(PoseLibrary, PicturesWithAPoseAreListedByGroupAndBrokenOnesSaySo) {
  TempFolder folder;
  const std::string pose = pose_text::write(*buildHumanoid());
  const std::string picture = pictureWithText(pose), handless = pose.substr(0, pose.find("h_hand_right"));
  TempFolder::put(folder.pathOf("b.png"), picture);
  TempFolder::put(folder.pathOf("a.png"), picture);
  TempFolder::put(folder.pathOf("dance/waltz.png"), picture);
  TempFolder::put(folder.pathOf("plain.png"), pictureWithText("not a pose", "Comment"));
  TempFolder::put(folder.pathOf("cut.png"), picture.substr(0, picture.size() / 2));
  TempFolder::put(folder.pathOf("words.png"), pictureWithText("hello"));
  TempFolder::put(folder.pathOf("handless.png"), pictureWithText(handless));
  TempFolder::put(folder.pathOf("notes.txt"), pose);
  TempFolder::put(folder.pathOf(".hidden/x.png"), picture);

  std::vector<std::tuple<std::string, std::string, std::string>> seen;
  for (const pose_library::Entry& e : pose_library::list(*buildHumanoid(), folder.path, true)) {
    seen.emplace_back(e.group, e.name, e.broken.empty() ? "" : e.name == "handless" ? e.broken : "broken");
  }
  const std::vector<std::tuple<std::string, std::string, std::string>> expected{
      {"", "a", ""},           {"", "b", ""},
      {"", "cut", "broken"},   {"", "handless", pose_text::read(*buildHumanoid(), handless).error},
      {"", "words", "broken"}, {"dance", "waltz", ""}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(pose_library::list(*buildHumanoid(), folder.path, false).size(), 5u);
  EXPECT_TRUE(pose_library::list(*buildHumanoid(), folder.pathOf("none"), true).empty());

  ThumbnailCache cache;
  const ThumbnailCache::Thumbnail& one = cache.get(folder.pathOf("a.png"));
  EXPECT_EQ(std::make_tuple(one.width, one.height, one.rgba.size(), one.error), std::make_tuple(1, 1, 4u, std::string()));
  EXPECT_EQ(&cache.get(folder.pathOf("a.png")), &one);
  EXPECT_FALSE(cache.get(folder.pathOf("cut.png")).error.empty());
}

TEST(PoseLibrary, TheOwnShelfFollowsXdgAndNamesArePlainFileNames) {
  const char* saved = std::getenv("XDG_DATA_HOME");
  const std::string restore = saved ? saved : "";
  setenv("XDG_DATA_HOME", "/data", 1);
  EXPECT_EQ(pose_library::ownFolder(), fs::path("/data/mannequin/poses"));
  setenv("XDG_DATA_HOME", "relative", 1);
  EXPECT_EQ(pose_library::ownFolder(), fs::path(std::getenv("HOME")) / ".local/share/mannequin/poses");
  saved ? (void)setenv("XDG_DATA_HOME", restore.c_str(), 1) : (void)unsetenv("XDG_DATA_HOME");
  for (const char* bad : {"", "a/b", ".hidden"}) EXPECT_NE(pose_library::nameRefusal(bad), "") << bad;
  EXPECT_EQ(pose_library::nameRefusal(std::string(250, 'x')), "");
  EXPECT_NE(pose_library::nameRefusal(std::string(251, 'x')), "");
  EXPECT_EQ(pose_library::pathFor("/p", "g", "walk"), fs::path("/p/g/walk.png"));
}

// A w x h picture of one colour, as libpng writes it.
std::string oneColourPicture(int w, int h, const std::array<unsigned char, 4>& rgba) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = w, image.height = h, image.format = PNG_FORMAT_RGBA;
  std::vector<unsigned char> pixels;
  for (int i = 0; i < w * h; ++i) pixels.insert(pixels.end(), rgba.begin(), rgba.end());
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
  std::string bytes(size, '\0');
  png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), 0, nullptr);
  return bytes;
}

// A thumbnail is kept small whatever its picture's size: a folder of large
// pictures scrolled through must not hold each one's pixels whole.
TEST(PoseLibrary, ThumbnailsAreKeptAtMostTheirShownSizeInTheirPicturesColour) {
  TempFolder folder;
  const std::array<unsigned char, 4> colour{10, 200, 30, 255};
  const std::vector<std::tuple<int, int, int, int>> sizes{
      {2048, 2048, 128, 128}, {300, 150, 128, 64}, {128, 1, 128, 1}, {3, 129, 2, 128}};
  ThumbnailCache cache;
  for (const auto& [w, h, keptW, keptH] : sizes) {
    const std::string path = folder.pathOf(std::to_string(w) + "x" + std::to_string(h) + ".png");
    TempFolder::put(path, oneColourPicture(w, h, colour));
    const ThumbnailCache::Thumbnail& t = cache.get(path);
    EXPECT_EQ(std::make_tuple(t.width, t.height, t.error), std::make_tuple(keptW, keptH, std::string())) << path;
    ASSERT_EQ(t.rgba.size(), std::size_t(keptW) * keptH * 4);
    for (std::size_t i = 0; i < t.rgba.size(); ++i) ASSERT_EQ(t.rgba[i], colour[i % 4]) << path << " " << i;
  }
}

// A picture larger than 2048 pixels a side is refused. A chunk is not taken
// at its word: one stating more bytes than its file holds is refused before
// libpng allocates what it states, and so is a file larger than a
// thumbnail's picture may be, or one that is no file.
TEST(PoseLibrary, ThumbnailsOfPicturesTooLargeOrThatStateMoreThanTheyHoldAreRefused) {
  TempFolder folder;
  TempFolder::put(folder.pathOf("wide.png"), oneColourPicture(2049, 1, {10, 200, 30, 255}));
  const std::string picture = oneColourPicture(1, 1, {1, 2, 3, 255});
  const std::size_t end = picture.size() - 12;  // where IEND begins
  const std::string stating = picture.substr(0, end) + std::string("\x7f\xff\xff\xf0zTXt", 8) + "x" + picture.substr(end);
  TempFolder::put(folder.pathOf("stating.png"), stating);
  TempFolder::put(folder.pathOf("large.png"), picture);
  fs::resize_file(folder.pathOf("large.png"), ThumbnailCache::kLargestFile + 1);
  TempFolder::put(folder.pathOf("largest.png"), picture);
  fs::resize_file(folder.pathOf("largest.png"), ThumbnailCache::kLargestFile);
  ASSERT_EQ(mkfifo(folder.pathOf("fifo.png").c_str(), 0600), 0);
  ThumbnailCache cache;
  EXPECT_EQ(cache.get(folder.pathOf("wide.png")).error, "the picture is larger than 2048 pixels a side");
  EXPECT_TRUE(cache.get(folder.pathOf("wide.png")).rgba.empty());
  EXPECT_EQ(cache.get(folder.pathOf("stating.png")).error, "the picture is cut short");
  EXPECT_EQ(cache.get(folder.pathOf("large.png")).error, "the picture's file is larger than 64 MiB");
  EXPECT_EQ(cache.get(folder.pathOf("largest.png")).error, "");
  EXPECT_EQ(cache.get(folder.pathOf("largest.png")).rgba, std::vector<unsigned char>({1, 2, 3, 255}));
  EXPECT_NE(cache.get(folder.pathOf("fifo.png")).error, "");
}

}  // namespace
