#include "view/ClayPicture.h"

#include <FL/gl.h>

#include <algorithm>
#include <cmath>

#include "view/ClayDrawing.h"
#include "view/ClaySampling.h"
#include "view/OrbitCamera.h"
#include "view/PictureTile.h"

namespace {

using Tile = PictureTile;  // in the samples

// The tile's samples, from margin pixels inside the viewport's corner; with
// alpha, opaque where something was drawn.
void readSamples(const Tile& tile, int margin, Picture& samples) {
  samples.width = tile.width;
  samples.height = tile.height;
  const size_t count = static_cast<size_t>(tile.width) * tile.height;
  samples.pixels.resize(count * samples.channels);
  glFinish();
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(margin, margin, tile.width, tile.height, samples.channels == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE,
               samples.pixels.data());
  if (samples.channels != 4) return;
  std::vector<float> depth(count);
  glReadPixels(margin, margin, tile.width, tile.height, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  for (size_t i = 0; i < count; ++i) samples.pixels[4 * i + 3] = depth[i] < 1.0f ? 255 : 0;
}

}  // namespace

Picture renderClayPicture(OrbitCamera& camera, const Figure& figure, int viewWidth, int viewHeight, int width,
                          int height, PictureOptions::Background background,
                          const std::function<void()>& behind) {
  const bool transparent = background == PictureOptions::Background::Transparent;
  Picture picture{width, height, transparent ? 4 : 3, {}};
  picture.pixels.resize(static_cast<size_t>(width) * height * picture.channels);
  const int factor = clay::supersampling(width, height);
  const float pixelScale = float(width) * factor / viewWidth;
  Picture samples{0, 0, picture.channels, {}};
  glPushAttrib(GL_COLOR_BUFFER_BIT | GL_VIEWPORT_BIT | GL_TRANSFORM_BIT | GL_PIXEL_MODE_BIT);
  // Each tile is drawn with a margin all round, so that a wide line just
  // outside it still shows its edge inside: no seams between tiles. A view
  // too small for the whole margin gives up some of it.
  const int margin = std::min(clayLineReach(pixelScale), (std::min(viewWidth, viewHeight) - factor) / 2);
  const int tileWidth = (viewWidth - 2 * margin) / factor, tileHeight = (viewHeight - 2 * margin) / factor;
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  const float c = background == PictureOptions::Background::White ? 1.0f : 0.0f;
  glClearColor(c, c, c, 0.0f);
  for (int y = 0; y < height; y += tileHeight) {
    for (int x = 0; x < width; x += tileWidth) {
      const Tile tile{x * factor, y * factor, std::min(tileWidth, width - x) * factor,
                      std::min(tileHeight, height - y) * factor};
      const Tile drawn{tile.x - margin, tile.y - margin, tile.width + 2 * margin, tile.height + 2 * margin};
      loadTileFrustum(drawn, width * factor, height * factor, camera.fieldOfView);
      drawClayScene(camera, figure, false, {}, pixelScale, behind);
      readSamples(tile, margin, samples);
      clay::averageInto(samples, factor, picture, x, y);
    }
  }
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glPopClientAttrib();
  glPopAttrib();
  return picture;
}
