#pragma once

#include <string>

// What a picture is asked to be: its size, from the view's, and its
// background. Kept from one picture to the next while the program runs.
struct PictureOptions {
  enum class Size { View, Double, Quadruple, Width };
  enum class Background { Black, White, Transparent };
  static constexpr int kMaxSide = 8192;

  Size size = Size::View;
  int width = 1380;  // with Size::Width, in pixels, from 1 to kMaxSide
  Background background = Background::Black;
};

struct PictureSize {
  int width = 0;
  int height = 0;
  std::string refusal;  // why there is none
};

// The picture's size for a view of viewWidth x viewHeight, in the view's
// proportions; a side over kMaxSide, or none at all, is refused.
PictureSize pictureSize(const PictureOptions& options, int viewWidth, int viewHeight);
