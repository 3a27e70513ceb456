#pragma once

#include <cstddef>
#include <deque>

#include "pose/FigureState.h"

// The figure's states after each step of editing, for undo and redo. A step
// is whatever one gesture changed; the oldest steps go first once there are
// more than the bound, or once the states hold more bytes than the byte
// bound (a step's size grows with its handles).
class PoseHistory {
 public:
  static constexpr std::size_t kDefaultBound = 1000;
  static constexpr std::size_t kDefaultByteBound = std::size_t(64) << 20;

  // initial is the state before any step, and what a reset goes back to.
  explicit PoseHistory(FigureState initial, std::size_t bound = kDefaultBound,
                       std::size_t byteBound = kDefaultByteBound);

  // Records state as a new step, unless it equals the current state, and
  // drops the steps that could have been redone. True when it recorded.
  bool record(FigureState state);
  // The state to go back to, or null when there is nothing to undo.
  const FigureState* undo();
  // The state to go forward to, or null when there is nothing to redo.
  const FigureState* redo();

  const FigureState& current() const { return states[at]; }
  const FigureState& initial() const { return start; }
  std::size_t undoCount() const { return at; }
  std::size_t redoCount() const { return states.size() - 1 - at; }
  std::size_t bound() const { return limit; }
  // What the kept states hold, in bytes.
  std::size_t bytes() const { return held; }

 private:
  FigureState start;
  std::deque<FigureState> states;  // the oldest kept state, then one per step
  std::size_t at = 0;              // the current state's position
  std::size_t limit;
  std::size_t byteLimit;
  std::size_t held;  // bytes of the kept states
};
