#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// The library's thumbnails, decoded from their pictures the first time they
// are asked for (as they come into sight) and kept: a folder of hundreds
// opens without decoding any picture it does not show.
class ThumbnailCache {
 public:
  // 8-bit RGBA pixels, rows from the top, at most kKeptSide a side; none, with the reason, when the
  // picture cannot be decoded.
  struct Thumbnail {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba;
    std::string error;
  };
  // A picture larger than this on a side is not decoded: a thumbnail needs
  // no more, and a hostile one would take the memory of a huge picture.
  static constexpr int kLargestSide = 2048;
  // A thumbnail is kept at most this large on a side, the size it is shown
  // at: a folder of large pictures scrolled through keeps little of each.
  static constexpr int kKeptSide = 128;
  // Nor is a picture whose file is larger than this: four times the pixels
  // of the largest one, uncompressed.
  static constexpr std::uintmax_t kLargestFile = std::uintmax_t{64} << 20;

  const Thumbnail& get(const std::filesystem::path& path);
  // Forgets the picture's thumbnail, after it was replaced, renamed or deleted.
  void forget(const std::filesystem::path& path) { decoded.erase(path); }

 private:
  std::map<std::filesystem::path, Thumbnail> decoded;
};
