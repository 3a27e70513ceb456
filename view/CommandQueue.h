#pragma once

#include <vector>

#include "view/Command.h"

// When a command key's command runs. Never while a mouse button is held;
// after a click whose pick waits for its frame, once the pick has run, in
// the order the keys came. No display needed.
class CommandQueue {
 public:
  enum class Verdict { Run, Wait, Drop };
  // A command key pressed now: run it, keep it for later, or let it go.
  Verdict offer(Command command, bool buttonHeld, bool pickPending);
  // Commands wait and nothing holds them back any more.
  bool due(bool pickPending) const { return !waiting.empty() && !pickPending; }
  // The waiting commands, in order, and none is kept. A button gone down
  // since they came lets them all go.
  std::vector<Command> take(bool buttonHeld);

 private:
  std::vector<Command> waiting;
};
