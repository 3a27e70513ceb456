// Pictures without a display: their size from the view's, worked out by
// hand; their PNG files written with their pose's text, and read back as
// reference pictures, whole or refused in one line.
#include <gtest/gtest.h>
#include <png.h>

#include <FL/Fl_Image.H>

#include <sstream>
#include <tuple>
#include <vector>

#include "pose/PosePicture.h"
#include "temp_folder.h"
#include "view/PictureOptionsDialog.h"
#include "view/PngEncoding.h"
#include "view/ReferencePictures.h"

namespace {

using Size = PictureOptions::Size;

PictureSize sized(Size size, int width, int viewWidth, int viewHeight) {
  PictureOptions options;
  options.size = size;
  options.width = width;
  return pictureSize(options, viewWidth, viewHeight);
}

}  // namespace

// The view's proportions, the height rounded to the nearest pixel: 1000 x
// 665 / 690 = 963.77, and 1 x 16 / 48 = 0.33 is still one pixel.
TEST(PictureOptions, SizesKeepTheViewsProportions) {
  const std::pair<PictureSize, std::pair<int, int>> cases[] = {
      {sized(Size::View, 0, 690, 665), {690, 665}},    {sized(Size::Double, 0, 690, 665), {1380, 1330}},
      {sized(Size::Quadruple, 0, 690, 665), {2760, 2660}}, {sized(Size::Width, 1000, 690, 665), {1000, 964}},
      {sized(Size::Width, 1, 48, 16), {1, 1}},           {sized(Size::Width, 8192, 690, 665), {8192, 7895}},
  };
  for (const auto& [size, expected] : cases) {
    EXPECT_EQ(size.refusal, "");
    EXPECT_EQ(std::make_pair(size.width, size.height), expected);
  }
}

// The width typed in the picture's window: whole numbers from 1 to 8192.
TEST(PictureOptions, TheTypedWidthIsAWholeNumberFrom1To8192) {
  EXPECT_EQ(typedWidth("1"), 1);
  EXPECT_EQ(typedWidth("8192"), 8192);
  for (const char* refused : {"0", "8193", "", "12px", "-5"}) EXPECT_EQ(typedWidth(refused), std::nullopt) << refused;
}

// Each limit on both sides: 8192 pixels a side, 1024 tiles of the view.
TEST(PictureOptions, TooLargeOrTooManyTilesIsRefused) {
  EXPECT_EQ(sized(Size::Quadruple, 0, 2048, 100).refusal, "");
  EXPECT_EQ(sized(Size::Quadruple, 0, 2049, 100).refusal,
            "a picture of 8196x400 pixels is more than 8192 on a side");
  EXPECT_EQ(sized(Size::Width, 8192, 4096, 4097).refusal,
            "a picture of 8192x8194 pixels is more than 8192 on a side");
  EXPECT_EQ(sized(Size::View, 0, 0, 665).refusal, "the view has no pixel to draw");
  // A view forced to 1x1 drew only black: 16 pixels a side at least.
  EXPECT_EQ(sized(Size::View, 0, 16, 16).refusal, "");
  EXPECT_EQ(sized(Size::Double, 0, 690, 15).refusal,
            "the view is too small to draw: 690x15 pixels, less than 16 on a side");
  EXPECT_EQ(tileRefusal(1, 1, 1, 1), "the view is too small to draw: 1x1 pixels, less than 16 on a side");
  // 32 x 32 tiles of 100 x 100, then 33 x 32.
  EXPECT_EQ(tileRefusal(3200, 3200, 100, 100), "");
  EXPECT_EQ(tileRefusal(3201, 3200, 100, 100),
            "a picture of 3201x3200 pixels takes more than 1024 tiles of a 100x100 view: make the window larger");
  EXPECT_NE(sized(Size::Width, 8192, 2, 2).refusal, "");
}

// Decoded by libpng's simplified reader, the picture comes back the right
// way up (GL's bottom row first in memory), with or without alpha; the pose's
// text rides in a tEXt chunk before the image data, and the program's own
// reader gives it back whole.
TEST(PngEncoding, APictureDecodesToItsPixelsTheRightWayUpAfterItsPose) {
  const std::string text = "mannequin pose 1\nroot 0 0.91 0 0 0 0 1\n";
  for (int channels : {3, 4}) {
    Picture picture{3, 2, channels, std::vector<unsigned char>(3 * 2 * channels)};
    for (size_t i = 0; i < picture.pixels.size(); ++i) picture.pixels[i] = static_cast<unsigned char>(i * 11);
    const std::string bytes = encodePng(picture, text);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()));
    EXPECT_EQ(std::make_tuple(image.width, image.height, (image.format & PNG_FORMAT_FLAG_ALPHA) != 0),
              std::make_tuple(3u, 2u, channels == 4));
    image.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    std::vector<unsigned char> topDown(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, topDown.data(), 0, nullptr));
    const std::size_t row = 3 * channels;
    std::vector<unsigned char> flipped(picture.pixels.begin() + row, picture.pixels.end());
    flipped.insert(flipped.end(), picture.pixels.begin(), picture.pixels.begin() + row);
    EXPECT_EQ(topDown, flipped) << channels;
    EXPECT_LT(bytes.find("tEXtmannequin pose"), bytes.find("IDAT"));
    std::istringstream in(bytes);
    EXPECT_EQ(pose_picture::read(in).text, text);
  }
  EXPECT_EQ(encodePng(Picture{3, 2, 3, std::vector<unsigned char>(5)}, ""), "");
}

// The size is judged from the header before anything is decoded.
TEST(ReferenceLoading, APictureIsReadWholeOrRefusedInOneLine) {
  TempFolder folder;
  const std::string png = encodePng(Picture{5, 3, 3, std::vector<unsigned char>(45, 200)}, "");
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
