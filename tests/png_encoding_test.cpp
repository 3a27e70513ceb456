// A picture's PNG bytes, made without a display.
#include <gtest/gtest.h>
#include <png.h>

#include <vector>

#include "view/PngEncoding.h"

// Decoded again by libpng, the picture is the same, its first row in memory
// (GL's bottom row) at the bottom.
TEST(PngEncoding, APictureDecodesToItsPixelsTheRightWayUp) {
  const int width = 3, height = 2;
  std::vector<unsigned char> rgb(width * height * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<unsigned char>(i * 11);
  const std::string bytes = encodePng(width, height, rgb);
  ASSERT_FALSE(bytes.empty());
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()));
  EXPECT_EQ(image.width, 3u);
  EXPECT_EQ(image.height, 2u);
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> topDown(rgb.size());
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, topDown.data(), 0, nullptr));
  for (int row = 0; row < height; ++row) {
    for (int i = 0; i < width * 3; ++i) {
      EXPECT_EQ(topDown[row * width * 3 + i], rgb[(height - 1 - row) * width * 3 + i]) << row << " " << i;
    }
  }
  EXPECT_EQ(encodePng(width, height, std::vector<unsigned char>(5)), "");
}
