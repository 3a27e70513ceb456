#pragma once

#include <string>

// A picture shown behind the figure in one view, to pose it after: where it
// is read from and how it is laid over the view.
struct ReferencePicture {
  static constexpr int kStartOpacity = 50;
  static constexpr int kOpacityStep = 10;
  std::string path;  // whole, as chosen or as the file gives it resolved
  int opacity = kStartOpacity;  // percent, 0 to 100
  // The picture's centre from the view's centre, in shares of the view's
  // width (x, to the right) and height (y, up).
  double x = 0.0;
  double y = 0.0;
  // Its height in view heights: at first it fits the view's height.
  double size = 1.0;

  // Opacity changed by steps of kOpacityStep, within 0 and 100; false when
  // it was already at that end.
  bool changeOpacity(int steps);
  // Moved by steps of kPlaceStep of the view across and up, within
  // kPlaceLimit of the centre.
  static constexpr double kPlaceStep = 0.01;
  static constexpr double kPlaceLimit = 100.0;
  bool moveBy(int across, int up);
  // Scaled by kScaleStep per step, larger (steps > 0) or smaller, from
  // kSmallest to kLargest view heights.
  static constexpr double kScaleStep = 1.05;
  static constexpr double kSmallest = 0.01;
  static constexpr double kLargest = 100.0;
  bool scaleBy(int steps);
};

bool operator==(const ReferencePicture& a, const ReferencePicture& b);
