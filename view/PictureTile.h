#pragma once

// A picture larger than the view is drawn in tiles that each fit the view's
// back buffer.
struct PictureTile {
  int x, y, width, height;  // in the whole picture, rows from the bottom
};

// The tile's part of the frustum of the whole width x height, as
// gluPerspective would give the whole, and a viewport of the tile's size.
void loadTileFrustum(const PictureTile& tile, int width, int height, double fieldOfView);
