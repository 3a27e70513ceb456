#include "view/PictureOptions.h"

#include "pose/PoseFile.h"

#include <algorithm>
#include <cmath>

std::string viewRefusal(int viewWidth, int viewHeight) {
  if (viewWidth <= 0 || viewHeight <= 0) return "the view has no pixel to draw";
  const int side = PictureOptions::kMinViewSide;
  if (viewWidth >= side && viewHeight >= side) return "";
  return "the view is too small to draw: " + std::to_string(viewWidth) + "x" + std::to_string(viewHeight) +
         " pixels, less than " + std::to_string(side) + " on a side";
}

PictureSize pictureSize(const PictureOptions& options, int viewWidth, int viewHeight) {
  if (std::string refusal = viewRefusal(viewWidth, viewHeight); !refusal.empty()) return {0, 0, refusal};
  long width = viewWidth, height = viewHeight;
  switch (options.size) {
    case PictureOptions::Size::View:
      break;
    case PictureOptions::Size::Double:
    case PictureOptions::Size::Quadruple: {
      const int n = options.size == PictureOptions::Size::Double ? 2 : 4;
      width *= n;
      height *= n;
      break;
    }
    case PictureOptions::Size::Width:
      width = options.width;
      // Rounded to the nearest pixel, half away from zero; never below one.
      height = std::max(1L, std::lround(double(options.width) * viewHeight / viewWidth));
      break;
  }
  if (width < 1) return {0, 0, "a picture's width is from 1 to " + std::to_string(PictureOptions::kMaxSide) + " pixels"};
  if (width > PictureOptions::kMaxSide || height > PictureOptions::kMaxSide) {
    return {0, 0,
            "a picture of " + std::to_string(width) + "x" + std::to_string(height) + " pixels is more than " +
                std::to_string(PictureOptions::kMaxSide) + " on a side"};
  }
  const std::string tiles = tileRefusal(static_cast<int>(width), static_cast<int>(height), viewWidth, viewHeight);
  if (!tiles.empty()) return {0, 0, tiles};
  return {static_cast<int>(width), static_cast<int>(height), ""};
}

std::string tileRefusal(int width, int height, int viewWidth, int viewHeight) {
  if (std::string refusal = viewRefusal(viewWidth, viewHeight); !refusal.empty()) return refusal;
  const long tiles = (long(width) + viewWidth - 1) / viewWidth * ((long(height) + viewHeight - 1) / viewHeight);
  if (tiles <= PictureOptions::kMaxTiles) return "";
  return "a picture of " + std::to_string(width) + "x" + std::to_string(height) + " pixels takes more than " +
         std::to_string(PictureOptions::kMaxTiles) + " tiles of a " + std::to_string(viewWidth) + "x" +
         std::to_string(viewHeight) + " view: make the window larger";
}

std::string pictureFileName(const std::string& typed) { return pose_file::withExtension(typed, ".png"); }
