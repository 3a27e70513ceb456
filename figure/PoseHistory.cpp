#include "figure/PoseHistory.h"

#include <utility>

PoseHistory::PoseHistory(FigureState initial, std::size_t bound) : start(initial), limit(bound) {
  states.push_back(std::move(initial));
}

bool PoseHistory::record(FigureState state) {
  if (state == current()) return false;
  states.erase(states.begin() + at + 1, states.end());
  states.push_back(std::move(state));
  if (states.size() > limit + 1) states.pop_front();
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
