#pragma once

#include <string>

// What a picture is asked to be: its size, from the view's, and its
// background. Kept from one picture to the next while the program runs.
struct PictureOptions {
  enum class Size { View, Double, Quadruple, Width };
  enum class Background { Black, White, Transparent };
  // The plain look, as the view first shows it, or the clay look.
  enum class Style { Plain, Clay };
  static constexpr int kMaxSide = 8192;
  // A picture is drawn in tiles of the view's size: a tiny view would take
  // millions of them.
  static constexpr long kMaxTiles = 1024;
  // A view narrower or lower than this shows too little of the figure, or
  // none of it, to draw from.
  static constexpr int kMinViewSide = 16;

  Size size = Size::View;
  int width = 1380;  // with Size::Width, in pixels, from 1 to kMaxSide
  Background background = Background::Black;
  Style style = Style::Plain;
  // The view's reference picture behind the figure; left out unless asked.
  bool references = false;
};

struct PictureSize {
  int width = 0;
  int height = 0;
  std::string refusal;  // why there is none
};

// The file a picture is written to: .png added to a name without an extension.
std::string pictureFileName(const std::string& typed);

// Why a view of viewWidth x viewHeight cannot be drawn from: it has no
// pixel, or a side below kMinViewSide. Empty when it can.
std::string viewRefusal(int viewWidth, int viewHeight);
// The picture's size for a view of viewWidth x viewHeight, in the view's
// proportions; a view refused above, a side over kMaxSide, more tiles than
// kMaxTiles, or none at all, is refused.
PictureSize pictureSize(const PictureOptions& options, int viewWidth, int viewHeight);
// Why a picture of width x height cannot be drawn in tiles of a view of
// viewWidth x viewHeight; empty when it can.
std::string tileRefusal(int width, int height, int viewWidth, int viewHeight);
