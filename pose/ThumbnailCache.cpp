#include "pose/ThumbnailCache.h"

#include <png.h>

#include <algorithm>
#include <fstream>

namespace {

namespace fs = std::filesystem;

using Thumbnail = ThumbnailCache::Thumbnail;

// Each kept pixel the mean of the picture's pixels it covers, their colours
// weighted by their alpha so that a transparent background darkens no edge.
Thumbnail shrunk(const std::vector<unsigned char>& rgba, int w, int h) {
  const int largest = std::max(w, h);
  Thumbnail kept;
  kept.width = std::max(1, w * ThumbnailCache::kKeptSide / largest);
  kept.height = std::max(1, h * ThumbnailCache::kKeptSide / largest);
  kept.rgba.resize(std::size_t(kept.width) * kept.height * 4);
  for (int y = 0; y < kept.height; ++y) {
    for (int x = 0; x < kept.width; ++x) {
      double sum[4] = {0, 0, 0, 0};
      int count = 0;
      for (int sy = y * h / kept.height; sy < (y + 1) * h / kept.height; ++sy) {
        for (int sx = x * w / kept.width; sx < (x + 1) * w / kept.width; ++sx, ++count) {
          const unsigned char* p = &rgba[(std::size_t(sy) * w + sx) * 4];
          for (int c = 0; c < 3; ++c) sum[c] += p[c] * double(p[3]);
          sum[3] += p[3];
        }
      }
      unsigned char* out = &kept.rgba[(std::size_t(y) * kept.width + x) * 4];
      for (int c = 0; c < 3; ++c) out[c] = sum[3] > 0 ? static_cast<unsigned char>(sum[c] / sum[3] + 0.5) : 0;
      out[3] = static_cast<unsigned char>(sum[3] / count + 0.5);
    }
  }
  return kept;
}

// libpng allocates a chunk's stated length before it reads the chunk: each
// is checked first against the bytes its file holds, by seeking past them
// (none but a regular file is opened, lest a FIFO hold the window).
std::string chunkRefusal(const fs::path& path) {
  std::error_code error;
  const std::uintmax_t size = fs::is_regular_file(path, error) ? fs::file_size(path, error) : 0;
  if (error || size == 0) return error ? error.message() : "it is no picture file";
  if (size > ThumbnailCache::kLargestFile) return "the picture's file is larger than 64 MiB";
  std::ifstream in(path, std::ios::binary);
  char header[8];
  for (std::uintmax_t at = 8; in.seekg(static_cast<std::streamoff>(at)) && in.read(header, sizeof header);) {
    std::uintmax_t length = 0;
    for (int i = 0; i < 4; ++i) length = length << 8 | static_cast<unsigned char>(header[i]);
    at += 12 + length;
    if (at > size) return "the picture is cut short";
    if (std::string(header + 4, 4) == "IEND") break;
  }
  return "";
}

// Through libpng's simplified reader, whatever the picture's own format.
ThumbnailCache::Thumbnail decode(const std::filesystem::path& path) {
  ThumbnailCache::Thumbnail thumbnail;
  if (thumbnail.error = chunkRefusal(path); !thumbnail.error.empty()) return thumbnail;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    thumbnail.error = image.message;
    return thumbnail;
  }
  if (image.width > ThumbnailCache::kLargestSide || image.height > ThumbnailCache::kLargestSide) {
    png_image_free(&image);
    thumbnail.error = "the picture is larger than " + std::to_string(ThumbnailCache::kLargestSide) + " pixels a side";
    return thumbnail;
  }
  image.format = PNG_FORMAT_RGBA;
  std::vector<unsigned char> rgba(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
    thumbnail.error = image.message;
    png_image_free(&image);
    return thumbnail;
  }
  const int w = static_cast<int>(image.width), h = static_cast<int>(image.height);
  if (std::max(w, h) > ThumbnailCache::kKeptSide) return shrunk(rgba, w, h);
  thumbnail.width = w;
  thumbnail.height = h;
  thumbnail.rgba = std::move(rgba);
  return thumbnail;
}

}  // namespace

const ThumbnailCache::Thumbnail& ThumbnailCache::get(const std::filesystem::path& path) {
  const auto found = decoded.find(path);
  if (found != decoded.end()) return found->second;
  return decoded.emplace(path, decode(path)).first->second;
}
