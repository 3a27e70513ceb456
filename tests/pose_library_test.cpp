// The pose library's shelves: which pictures are listed, in which group,
// which are broken, and their thumbnails decoded once.
#include <gtest/gtest.h>

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

TEST(PoseLibrary, PicturesWithAPoseAreListedByGroupAndBrokenOnesSaySo) {
  TempFolder folder;
  const std::string pose = pose_text::write(*buildHumanoid());
  const std::string picture = pictureWithText(pose);
  writeFile(folder.pathOf("b.png"), picture);
  writeFile(folder.pathOf("a.png"), picture);
  writeFile(folder.pathOf("dance/waltz.png"), picture);
  writeFile(folder.pathOf("plain.png"), pictureWithText("not a pose", "Comment"));
  writeFile(folder.pathOf("cut.png"), picture.substr(0, picture.size() / 2));
  writeFile(folder.pathOf("notes.txt"), pose);
  writeFile(folder.pathOf(".hidden/x.png"), picture);

  std::vector<std::tuple<std::string, std::string, bool>> seen;
  for (const pose_library::Entry& e : pose_library::list(folder.path, true)) {
    seen.emplace_back(e.group, e.name, e.broken.empty());
  }
  const std::vector<std::tuple<std::string, std::string, bool>> expected{
      {"", "a", true}, {"", "b", true}, {"", "cut", false}, {"dance", "waltz", true}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(pose_library::list(folder.path, false).size(), 3u);
  EXPECT_TRUE(pose_library::list(folder.pathOf("none"), true).empty());

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

}  // namespace
