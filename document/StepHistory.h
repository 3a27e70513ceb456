#pragma once

#include <cstddef>
#include <deque>
#include <utility>

// The states after each step of editing, for undo and redo. A step is
// whatever one gesture changed; the oldest steps go first once there are
// more than the bound, or once the states hold more bytes than the byte
// bound (a step's size grows with its handles). A State compares with == and
// tells its size with bytes().
template <class State>
class StepHistory {
 public:
  static constexpr std::size_t kDefaultBound = 1000;
  static constexpr std::size_t kDefaultByteBound = std::size_t(64) << 20;

  // initial is the state before any step.
  explicit StepHistory(State initial, std::size_t bound = kDefaultBound, std::size_t byteBound = kDefaultByteBound)
      : limit(bound), byteLimit(byteBound), held(initial.bytes()) {
    states.push_back(std::move(initial));
  }

  // Records state as a new step, unless it equals the current state, and
  // drops the steps that could have been redone. True when it recorded.
  bool record(State state) {
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
  // The state to go back to, or null when there is nothing to undo.
  const State* undo() { return at == 0 ? nullptr : &states[--at]; }
  // The state to go forward to, or null when there is nothing to redo.
  const State* redo() { return at + 1 >= states.size() ? nullptr : &states[++at]; }

  const State& current() const { return states[at]; }
  std::size_t undoCount() const { return at; }
  std::size_t redoCount() const { return states.size() - 1 - at; }
  std::size_t bound() const { return limit; }
  // What the kept states hold, in bytes.
  std::size_t bytes() const { return held; }

 private:
  std::deque<State> states;  // the oldest kept state, then one per step
  std::size_t at = 0;        // the current state's position
  std::size_t limit;
  std::size_t byteLimit;
  std::size_t held;  // bytes of the kept states
};
