// The pose library's shelves: which pictures are listed, in which group,
// which are broken, and their thumbnails decoded once.
#include <gtest/gtest.h>

#include <png.h>

#include <array>
#include <cstdlib>
#include <fstream>

#include "humanoid/Humanoid.h"
#include "picture_with_text.h"
#include "pose/PoseLibrary.h"
#include "pose/PoseText.h"
#include "pose/ThumbnailCache.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// A picture is listed as broken when it is cut, or its pose is not one of
// this figure's, as it would be refused when chosen; the reason is the pose
// reader's.
TEST(PoseLibrary, PicturesWithAPoseAreListedByGroupAndBrokenOnesSaySo) {
  TempFolder folder;
  const std::string pose = pose_text::write(*buildHumanoid());
  const std::string picture = pictureWithText(pose), handless = pose.substr(0, pose.find("h_hand_right"));
  writeFile(folder.pathOf("b.png"), picture);
  writeFile(folder.pathOf("a.png"), picture);
  writeFile(folder.pathOf("dance/waltz.png"), picture);
  writeFile(folder.pathOf("plain.png"), pictureWithText("not a pose", "Comment"));
  writeFile(folder.pathOf("cut.png"), picture.substr(0, picture.size() / 2));
  writeFile(folder.pathOf("words.png"), pictureWithText("hello"));
  writeFile(folder.pathOf("handless.png"), pictureWithText(handless));
  writeFile(folder.pathOf("notes.txt"), pose);
  writeFile(folder.pathOf(".hidden/x.png"), picture);

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
    writeFile(path, oneColourPicture(w, h, colour));
    const ThumbnailCache::Thumbnail& t = cache.get(path);
    EXPECT_EQ(std::make_tuple(t.width, t.height, t.error), std::make_tuple(keptW, keptH, std::string())) << path;
    ASSERT_EQ(t.rgba.size(), std::size_t(keptW) * keptH * 4);
    for (std::size_t i = 0; i < t.rgba.size(); ++i) ASSERT_EQ(t.rgba[i], colour[i % 4]) << path << " " << i;
  }
  writeFile(folder.pathOf("wide.png"), oneColourPicture(2049, 1, colour));
  EXPECT_EQ(cache.get(folder.pathOf("wide.png")).error, "the picture is larger than 2048 pixels a side");
  EXPECT_TRUE(cache.get(folder.pathOf("wide.png")).rgba.empty());
}

// A chunk is not taken at its word: one stating more bytes than its file
// holds is refused before libpng allocates what it states, and so is a file
// larger than a thumbnail's picture may be, or one that is no file.
TEST(PoseLibrary, ThumbnailsOfPicturesThatStateMoreThanTheyHoldAreRefused) {
  TempFolder folder;
  const std::string picture = oneColourPicture(1, 1, {1, 2, 3, 255});
  const std::size_t end = picture.size() - 12;  // where IEND begins
  const std::string stating = picture.substr(0, end) + std::string("\x7f\xff\xff\xf0zTXt", 8) + "x" + picture.substr(end);
  writeFile(folder.pathOf("stating.png"), stating);
  writeFile(folder.pathOf("large.png"), picture);
  fs::resize_file(folder.pathOf("large.png"), ThumbnailCache::kLargestFile + 1);
  writeFile(folder.pathOf("largest.png"), picture);
  fs::resize_file(folder.pathOf("largest.png"), ThumbnailCache::kLargestFile);
  ASSERT_EQ(mkfifo(folder.pathOf("fifo.png").c_str(), 0600), 0);
  ThumbnailCache cache;
  EXPECT_EQ(cache.get(folder.pathOf("stating.png")).error, "the picture is cut short");
  EXPECT_EQ(cache.get(folder.pathOf("large.png")).error, "the picture's file is larger than 64 MiB");
  EXPECT_EQ(cache.get(folder.pathOf("largest.png")).error, "");
  EXPECT_EQ(cache.get(folder.pathOf("largest.png")).rgba, std::vector<unsigned char>({1, 2, 3, 255}));
  EXPECT_NE(cache.get(folder.pathOf("fifo.png")).error, "");
}

}  // namespace
