// A picture's size from the view's, worked out by hand.
#include <gtest/gtest.h>

#include "view/PictureOptionsDialog.h"

namespace {

PictureSize sized(PictureOptions::Size size, int width, int viewWidth, int viewHeight) {
  PictureOptions options;
  options.size = size;
  options.width = width;
  return pictureSize(options, viewWidth, viewHeight);
}

using Size = PictureOptions::Size;

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

