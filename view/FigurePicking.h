#pragma once

#include "figure/Figure.h"
#include "view/GLFrame.h"

// The figure's picks through a frame's matrices, in window coordinates (y up).

// A handle drawn within radius pixels of the point.
const Handle* handleAt(const Figure& figure, const GLFrame& frame, int x, int y, int radius);
// The body under the point.
SurfaceHit pickSurface(const Figure& figure, const GLFrame& frame, int x, int y);
