#pragma once

#include <cstddef>
#include <utility>
#include <vector>

// Handles pinned as each other's mirror image, named by their places in the
// figure's list of handles, so that a step's copy of them needs no pointers.
class HandleTwins {
 public:
  void link(int a, int b) { pairs.emplace_back(a, b); }
  // The place of the twin of the handle at place; -1 for none.
  int twinOf(int place) const;
  // The handle at place is gone: its pair goes, and later places move down.
  void remove(int place);
  void clear() { pairs.clear(); }
  std::size_t bytes() const { return pairs.capacity() * sizeof(pairs[0]); }

  friend bool operator==(const HandleTwins& a, const HandleTwins& b) { return a.pairs == b.pairs; }

 private:
  std::vector<std::pair<int, int>> pairs;
};
