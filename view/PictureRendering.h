#pragma once

#include <functional>

#include "view/Picture.h"
#include "view/PictureOptions.h"

class Figure;
class OrbitCamera;

// Draws the figure through the camera, without handles or axes, into a
// picture of width x height in the view's proportions, in the current GL
// context, whose back buffer is the view's viewWidth x viewHeight. A picture
// of the view's size is drawn with the view's own projection: the frame the
// view shows. A larger one is drawn in tiles of the view's size, each
// through its part of the picture's frustum, and read back into its place.
// A transparent background takes its alpha from the depth buffer: 0 where
// nothing was drawn. The context's state is left as it was; the back buffer
// is not. Throws std::bad_alloc when the picture does not fit in memory.
// behind, when given, draws first in every tile (the reference picture).
Picture renderPicture(OrbitCamera& camera, const Figure& figure, int viewWidth, int viewHeight, int width, int height,
                      PictureOptions::Background background, const std::function<void()>& behind = {});
