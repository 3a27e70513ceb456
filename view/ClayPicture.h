#pragma once

#include <functional>

#include "view/Picture.h"
#include "view/PictureOptions.h"

class Figure;
class OrbitCamera;

// renderPicture's picture in the clay look, antialiased: drawn
// supersampling times larger, in tiles that fit the view's back buffer, and
// each tile averaged down into its place. A transparent background takes
// its alpha from the depth buffer sample by sample, so that the edges come
// out soft. The context's state is left as it was; the back buffer is not.
// Throws std::bad_alloc when the picture does not fit in memory.
Picture renderClayPicture(OrbitCamera& camera, const Figure& figure, int viewWidth, int viewHeight, int width,
                          int height, PictureOptions::Background background,
                          const std::function<void()>& behind = {});
