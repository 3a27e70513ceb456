#pragma once

#include <cstddef>
#include <string>

// A 1x1 grey PNG file's bytes as libpng writes them, with a tEXt chunk
// under the keyword: before the image data, or after it. A private chunk of
// fillerBytes comes before the text when there are any.
struct PictureText {
  std::string text;
  std::string keyword = "mannequin pose";
  bool afterImage = false;
  std::size_t fillerBytes = 0;
};
std::string pictureWithText(const PictureText& chunk);
