#include "view/PictureRendering.h"

#include <FL/gl.h>

#include <algorithm>
#include <cmath>

#include "view/PictureTile.h"
#include "view/SceneDrawing.h"

namespace {

using Tile = PictureTile;

// The tile's colours straight into their place in the picture.
void readTile(const Tile& tile, Picture& picture) {
  glFinish();
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, picture.width);
  glPixelStorei(GL_PACK_SKIP_PIXELS, tile.x);
  glPixelStorei(GL_PACK_SKIP_ROWS, tile.y);
  glReadPixels(0, 0, tile.width, tile.height, picture.channels == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE,
               picture.pixels.data());
}

// Where the depth buffer is still cleared, nothing was drawn: transparent
// black; elsewhere opaque.
void readTileAlpha(const Tile& tile, Picture& picture) {
  std::vector<float> depth(static_cast<size_t>(tile.width) * tile.height);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glReadPixels(0, 0, tile.width, tile.height, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  for (int row = 0; row < tile.height; ++row) {
    unsigned char* pixel = &picture.pixels[4 * (static_cast<size_t>(tile.y + row) * picture.width + tile.x)];
    for (int column = 0; column < tile.width; ++column, pixel += 4) {
      const bool drawn = depth[static_cast<size_t>(row) * tile.width + column] < 1.0f;
      if (!drawn) std::fill(pixel, pixel + 3, 0);
      pixel[3] = drawn ? 255 : 0;
    }
  }
}

void setClearColour(PictureOptions::Background background) {
  const float c = background == PictureOptions::Background::White ? 1.0f : 0.0f;
  glClearColor(c, c, c, 0.0f);
}

}  // namespace

Picture renderPicture(OrbitCamera& camera, const Figure& figure, int viewWidth, int viewHeight, int width, int height,
                      PictureOptions::Background background, const std::function<void()>& behind) {
  const bool transparent = background == PictureOptions::Background::Transparent;
  Picture picture{width, height, transparent ? 4 : 3, {}};
  picture.pixels.resize(static_cast<size_t>(width) * height * picture.channels);
  const bool whole = width == viewWidth && height == viewHeight;
  // The view's next frame finds its context as it was.
  glPushAttrib(GL_COLOR_BUFFER_BIT | GL_VIEWPORT_BIT | GL_TRANSFORM_BIT | GL_PIXEL_MODE_BIT);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  setClearColour(background);
  for (int y = 0; y < height; y += viewHeight) {
    for (int x = 0; x < width; x += viewWidth) {
      const Tile tile{x, y, std::min(viewWidth, width - x), std::min(viewHeight, height - y)};
      if (!whole) loadTileFrustum(tile, width, height, camera.fieldOfView);
      drawScene(camera, figure, false, {}, behind);
      readTile(tile, picture);
      if (transparent) readTileAlpha(tile, picture);
    }
  }
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glPopClientAttrib();
  glPopAttrib();
  return picture;
}
