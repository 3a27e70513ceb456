#include "view/PngEncoding.h"

#include <png.h>

std::string encodePng(int width, int height, const std::vector<unsigned char>& rgbBottomUp) {
  if (width <= 0 || height <= 0 || rgbBottomUp.size() != static_cast<size_t>(width) * height * 3) return "";
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  // A negative stride: the first row in memory is the bottom one.
  const png_int_32 stride = -3 * width;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgbBottomUp.data(), stride, nullptr)) return "";
  std::string bytes(size, '\0');
  if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, rgbBottomUp.data(), stride, nullptr)) return "";
  bytes.resize(size);
  return bytes;
}
