#include "document/HandleTwins.h"

#include <algorithm>

int HandleTwins::twinOf(int place) const {
  for (const auto& [a, b] : pairs) {
    if (a == place) return b;
    if (b == place) return a;
  }
  return -1;
}

void HandleTwins::remove(int place) {
  pairs.erase(std::remove_if(pairs.begin(), pairs.end(),
                             [place](const std::pair<int, int>& p) { return p.first == place || p.second == place; }),
              pairs.end());
  for (auto& [a, b] : pairs) {
    a -= a > place;
    b -= b > place;
  }
}
