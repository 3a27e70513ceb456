#include "view/TileSteps.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The row nearest `from`'s above (up) or below it, and in it the nearest column.
int acrossRows(const std::vector<TilePlace>& places, int from, bool down) {
  const TilePlace at = places[static_cast<std::size_t>(from)];
  int best = from;
  for (int i = 0; i < static_cast<int>(places.size()); ++i) {
    const TilePlace p = places[static_cast<std::size_t>(i)];
    if (down ? p.y <= at.y : p.y >= at.y) continue;
    if (best == from) {
      best = i;
      continue;
    }
    const TilePlace b = places[static_cast<std::size_t>(best)];
    const bool nearerRow = down ? p.y < b.y : p.y > b.y;
    if (nearerRow || (p.y == b.y && std::abs(p.x - at.x) < std::abs(b.x - at.x))) best = i;
  }
  return best;
}

}  // namespace

int tileToward(const std::vector<TilePlace>& places, int from, TileStep step, int top) {
  const int count = static_cast<int>(places.size());
  if (count == 0) return -1;
  if (from < 0 || from >= count) {
    const auto inSight = std::find_if(places.begin(), places.end(), [top](TilePlace p) { return p.y >= top; });
    return inSight == places.end() ? 0 : static_cast<int>(inSight - places.begin());
  }
  switch (step) {
    case TileStep::Left:
      return from > 0 ? from - 1 : from;
    case TileStep::Right:
      return from + 1 < count ? from + 1 : from;
    case TileStep::Up:
      return acrossRows(places, from, false);
    case TileStep::Down:
      return acrossRows(places, from, true);
  }
  return from;
}
