#pragma once

#include <vector>

// Where the arrow keys go among the pose library's thumbnails, which sit in
// rows under their shelves' headings.
struct TilePlace {
  int x, y;
};

enum class TileStep { Left, Right, Up, Down };

// The tile one step from `from` (-1, none chosen yet, goes to the first):
// left and right in reading order, across rows; up and down to the nearest
// row that way, at the nearest column, so that a short last row is still
// reached. `from` itself where no tile lies that way.
int tileToward(const std::vector<TilePlace>& places, int from, TileStep step);
