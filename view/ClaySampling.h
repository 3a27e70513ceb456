#pragma once

#include "view/Picture.h"

// How finely the clay look draws: its bodies' facets follow their size on
// the screen or in the picture, and its pictures are drawn larger and
// averaged down. No GL here.
namespace clay {

constexpr int kMinSlices = 8;
constexpr int kMaxSlices = 96;
// The slices (and twice the stacks) of a ball whose radius covers this many
// pixels: enough that a facet's edge stays within half a pixel of the
// true outline, between kMinSlices and kMaxSlices.
int sliceCount(double pixelRadius);
// The pixels a radius at this depth in front of the eye covers, through a
// projection whose vertical scale (its second diagonal element) is
// projectionYY, in a viewport this many pixels high.
double pixelRadius(double eyeRadius, double eyeDepth, double projectionYY, int viewportHeight);

// A picture up to this many pixels is drawn 3 times larger each way, a
// larger one twice: a 4x picture of the window stays under a second.
constexpr long kFineSamplingPixels = 4L * 1024 * 1024;
int supersampling(int width, int height);

// The average of each factor x factor block of samples (rows from the
// bottom, as GL reads them) into the picture at (x, y). With alpha, the
// colour is the average of the drawn samples, each weighed by its alpha, so
// that an edge keeps its colour and takes a soft alpha.
void averageInto(const Picture& samples, int factor, Picture& picture, int x, int y);

}  // namespace clay
