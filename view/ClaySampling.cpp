#include "view/ClaySampling.h"

#include <algorithm>
#include <cmath>

namespace clay {

int sliceCount(double pixelRadius) {
  // A chord of angle 2 pi / n falls short of the circle by r (1 - cos(pi / n)),
  // about r (pi / n)^2 / 2: half a pixel when n = pi sqrt(r).
  const double n = std::ceil(M_PI * std::sqrt(std::max(pixelRadius, 0.0)));
  return static_cast<int>(std::clamp(n, double(kMinSlices), double(kMaxSlices)));
}

double pixelRadius(double eyeRadius, double eyeDepth, double projectionYY, int viewportHeight) {
  // Behind or at the eye nothing is drawn finer than at the near plane.
  const double depth = std::max(eyeDepth, 1e-3);
  return eyeRadius / depth * projectionYY * viewportHeight / 2;
}

int supersampling(int width, int height) { return long(width) * height <= kFineSamplingPixels ? 3 : 2; }

void averageInto(const Picture& samples, int factor, Picture& picture, int x, int y) {
  const int c = picture.channels, width = samples.width / factor, height = samples.height / factor;
  const bool alpha = c == 4;
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      long sum[4] = {0, 0, 0, 0};
      for (int j = 0; j < factor; ++j) {
        const unsigned char* s =
            &samples.pixels[(static_cast<size_t>(row * factor + j) * samples.width + column * factor) * c];
        for (int i = 0; i < factor; ++i, s += c) {
          const int weight = alpha ? s[3] : 1;
          for (int k = 0; k < 3; ++k) sum[k] += s[k] * weight;
          sum[3] += weight;
        }
      }
      unsigned char* p = &picture.pixels[(static_cast<size_t>(y + row) * picture.width + x + column) * c];
      for (int k = 0; k < 3; ++k) p[k] = sum[3] ? static_cast<unsigned char>((sum[k] + sum[3] / 2) / sum[3]) : 0;
      if (alpha) p[3] = static_cast<unsigned char>((sum[3] + factor * factor / 2) / (factor * factor));
    }
  }
}

}  // namespace clay
