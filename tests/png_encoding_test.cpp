// A picture's PNG bytes, made without a display; and reference pictures
// read from their files: the size judged from the header before anything is
// decoded, and what cannot be decoded refused.
#include <gtest/gtest.h>
#include <png.h>

#include <FL/Fl_Image.H>

#include <sstream>
#include <vector>

#include "pose/PosePicture.h"
#include "temp_folder.h"
#include "view/PngEncoding.h"
#include "view/ReferencePictures.h"

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

TEST(ReferenceLoading, APictureIsReadWholeOrRefusedInOneLine) {
  TempFolder folder;
  Picture picture{5, 3, 3, std::vector<unsigned char>(45, 200)};
  const std::string png = encodePng(picture, "");
  TempFolder::put(folder.pathOf("ok.png"), png);
  const ReferencePictures::Loading ok = ReferencePictures::load(folder.pathOf("ok.png"));
  ASSERT_TRUE(ok.image) << ok.error;
  EXPECT_EQ(std::make_tuple(ok.image->w(), ok.image->h(), ok.image->d()), std::make_tuple(5, 3, 3));

  // The header alone, of a picture too large: refused without its pixels,
  // which the file does not have.
  std::string large = png.substr(0, 24);
  large[16] = 0, large[17] = 0, large[18] = 0x20, large[19] = 0x01;  // 8193 wide
  TempFolder::put(folder.pathOf("large.png"), large);
  // Cut after its header, the pixels are missing.
  TempFolder::put(folder.pathOf("cut.png"), png.substr(0, 40));
  TempFolder::put(folder.pathOf("text.png"), "mannequin pose 1\n");
  const std::pair<std::string, std::string> refused[] = {
      {"large.png", "it is 8193 x 3 pixels, more than 8192 on a side"},
      {"cut.png", "it is broken and could not be decoded"},
      {"text.png", "it is not a PNG or JPEG picture"},
      {"missing.png", "No such file or directory"},
      {"", "it is not a regular file"},
  };
  for (const auto& [name, error] : refused) {
    const ReferencePictures::Loading loading = ReferencePictures::load(name.empty() ? folder.path : folder.pathOf(name));
    EXPECT_FALSE(loading.image) << name;
    EXPECT_EQ(loading.error, error) << name;
  }
}
