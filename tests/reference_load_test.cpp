// Reference pictures read from their files: the size judged from the header
// before anything is decoded, and what cannot be decoded refused.
#include <gtest/gtest.h>

#include <FL/Fl_Image.H>

#include "temp_folder.h"
#include "view/PngEncoding.h"
#include "view/ReferencePictures.h"

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
