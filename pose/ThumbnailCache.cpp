#include "pose/ThumbnailCache.h"

#include <png.h>

namespace {

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
  thumbnail.width = static_cast<int>(image.width);
  thumbnail.height = static_cast<int>(image.height);
  thumbnail.rgba = std::move(rgba);
  return thumbnail;
}

}  // namespace

const ThumbnailCache::Thumbnail& ThumbnailCache::get(const std::filesystem::path& path) {
  const auto found = decoded.find(path);
  if (found != decoded.end()) return found->second;
  return decoded.emplace(path, decode(path)).first->second;
}
