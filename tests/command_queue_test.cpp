// When a command key's command runs: at once, after a pending pick, or never.
#include <gtest/gtest.h>

#include "view/CommandQueue.h"

namespace {

using Verdict = CommandQueue::Verdict;
using Commands = std::vector<Command>;

TEST(CommandQueue, RunsAtOnceUnlessAButtonIsHeldOrAPickWaits) {
  CommandQueue queue;
  EXPECT_EQ(queue.offer(Command::Undo, false, false), Verdict::Run);
  EXPECT_EQ(queue.offer(Command::Undo, true, false), Verdict::Drop);
  EXPECT_EQ(queue.offer(Command::Undo, true, true), Verdict::Drop);
  EXPECT_FALSE(queue.due(false));
}

TEST(CommandQueue, KeysPressedWhileAPickWaitsRunAfterItInTheirOrder) {
  CommandQueue queue;
  EXPECT_EQ(queue.offer(Command::Undo, false, true), Verdict::Wait);
  EXPECT_FALSE(queue.due(true));
  // The pick has run, but a key pressed now goes behind the one waiting.
  EXPECT_EQ(queue.offer(Command::Redo, false, false), Verdict::Wait);
  EXPECT_TRUE(queue.due(false));
  EXPECT_EQ(queue.take(false), (Commands{Command::Undo, Command::Redo}));
  EXPECT_FALSE(queue.due(false));
  EXPECT_EQ(queue.offer(Command::Copy, false, false), Verdict::Run);
}

TEST(CommandQueue, AButtonDownBeforeTheyRunLetsTheWaitingCommandsGo) {
  CommandQueue queue;
  queue.offer(Command::Reset, false, true);
  EXPECT_TRUE(queue.take(true).empty());
  EXPECT_FALSE(queue.due(false));
  EXPECT_EQ(queue.offer(Command::Undo, false, false), Verdict::Run);
}

}  // namespace
