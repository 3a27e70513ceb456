#include "pose/PoseHistory.h"

#include <utility>

PoseHistory::PoseHistory(FigureState initial, std::size_t bound, std::size_t byteBound)
    : start(initial), limit(bound), byteLimit(byteBound), held(initial.bytes()) {
  states.push_back(std::move(initial));
}

bool PoseHistory::record(FigureState state) {
  if (state == current()) return false;
  for (auto it = states.begin() + at + 1; it != states.end(); ++it) held -= it->bytes();
  states.erase(states.begin() + at + 1, states.end());
  held += state.bytes();
  states.push_back(std::move(state));
  while (states.size() > 1 && (states.size() > limit + 1 || held > byteLimit)) {
    held -= states.front().bytes();
    states.pop_front();
  }
  at = states.size() - 1;
  return true;
}

const FigureState* PoseHistory::undo() {
  if (at == 0) return nullptr;
  return &states[--at];
}

const FigureState* PoseHistory::redo() {
  if (at + 1 >= states.size()) return nullptr;
  return &states[++at];
}
