// A picture's PNG bytes, made without a display.
#include <gtest/gtest.h>
#include <png.h>

#include <sstream>
#include <vector>

#include "pose/PosePicture.h"
#include "view/PngEncoding.h"

namespace {

// Decoded again by libpng's simplified reader, in the picture's own format.
std::vector<unsigned char> decoded(const std::string& bytes, int channels, png_image& image) {
  image = png_image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {};
  image.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  std::vector<unsigned char> topDown(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, topDown.data(), 0, nullptr)) return {};
  return topDown;
}

}  // namespace

// The picture comes back the right way up (GL's bottom row first in memory),
// with or without alpha.
TEST(PngEncoding, APictureDecodesToItsPixelsTheRightWayUp) {
  for (int channels : {3, 4}) {
    Picture picture{3, 2, channels, std::vector<unsigned char>(3 * 2 * channels)};
    for (size_t i = 0; i < picture.pixels.size(); ++i) picture.pixels[i] = static_cast<unsigned char>(i * 11);
    png_image image;
    const std::vector<unsigned char> topDown = decoded(encodePng(picture, "pose"), channels, image);
    ASSERT_EQ(topDown.size(), picture.pixels.size()) << channels;
    EXPECT_EQ(image.width, 3u);
    EXPECT_EQ(image.height, 2u);
    EXPECT_EQ((image.format & PNG_FORMAT_FLAG_ALPHA) != 0, channels == 4);
    const size_t row = 3 * channels;
    for (size_t y = 0; y < 2; ++y) {
      for (size_t i = 0; i < row; ++i) EXPECT_EQ(topDown[y * row + i], picture.pixels[(1 - y) * row + i]);
    }
  }
  EXPECT_EQ(encodePng(Picture{3, 2, 3, std::vector<unsigned char>(5)}, ""), "");
}

// The pose's text rides in a tEXt chunk that libpng finds before the image
// data, and the program's own reader gives it back whole.
TEST(PngEncoding, ThePoseTextIsAChunkBeforeTheImageData) {
  const std::string text = "mannequin pose 1\nroot 0 0.91 0 0 0 0 1\n";
  const std::string bytes = encodePng(Picture{1, 1, 3, {1, 2, 3}}, text);
  EXPECT_LT(bytes.find("tEXtmannequin pose"), bytes.find("IDAT"));
  std::istringstream in(bytes);
  const pose_picture::Reading reading = pose_picture::read(in);
  EXPECT_EQ(reading.error, "");
  EXPECT_EQ(reading.text, text);
}
