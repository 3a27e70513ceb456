#include "view/CommandQueue.h"

CommandQueue::Verdict CommandQueue::offer(Command command, bool buttonHeld, bool pickPending) {
  if (buttonHeld) return Verdict::Drop;
  // Behind a waiting command, even once the pick has run: keys keep their order.
  if (!pickPending && waiting.empty()) return Verdict::Run;
  waiting.push_back(command);
  return Verdict::Wait;
}

std::vector<Command> CommandQueue::take(bool buttonHeld) {
  std::vector<Command> commands;
  commands.swap(waiting);
  if (buttonHeld) commands.clear();
  return commands;
}
