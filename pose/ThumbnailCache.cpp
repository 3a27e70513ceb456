#include "pose/ThumbnailCache.h"

#include <png.h>

#include <algorithm>

namespace {

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

// Through libpng's simplified reader, whatever the picture's own format.
ThumbnailCache::Thumbnail decode(const std::filesystem::path& path) {
  ThumbnailCache::Thumbnail thumbnail;
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
