#pragma once

#include <vector>

// Where the arrow keys go among the pose library's thumbnails, which sit in
// rows under their shelves' headings.
struct TilePlace {
  int x, y;
};

enum class TileStep { Left, Right, Up, Down };

// The tile one step from `from`: left and right in reading order, across
// rows; up and down to the nearest row that way, at the nearest column, so
// that a short last row is still reached. `from` itself where no tile lies
// that way. With none chosen yet (-1), any step goes to the first tile at
// or below `top`, the first in sight, or else to the first of all.
int tileToward(const std::vector<TilePlace>& places, int from, TileStep step, int top);
