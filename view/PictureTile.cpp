#include "view/PictureTile.h"

#include <FL/gl.h>

#include <cmath>

#include "view/SceneDrawing.h"

void loadTileFrustum(const PictureTile& tile, int width, int height, double fieldOfView) {
  const double top = kNearPlane * std::tan(fieldOfView / 2 * M_PI / 180);
  const double right = top * width / height;
  const double x0 = -right + 2 * right * tile.x / width, x1 = -right + 2 * right * (tile.x + tile.width) / width;
  const double y0 = -top + 2 * top * tile.y / height, y1 = -top + 2 * top * (tile.y + tile.height) / height;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(x0, x1, y0, y1, kNearPlane, kFarPlane);
  glViewport(0, 0, tile.width, tile.height);
}
