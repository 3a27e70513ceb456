// SIGTERM ends the program as the signal would, through the event loop when
// it runs and without it when a loop of someone else's never reads it.
#include <FL/Fl.H>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "app/TerminationSignals.h"

namespace {

// A child that takes the signals, says so on `ready`, then loops: through
// the toolkit's loop, or in a loop of its own. Before the end it writes 'e'.
pid_t startChild(bool toolkitLoop, int ready, int ended) {
  const pid_t child = ::fork();
  if (child != 0) return child;
  TerminationSignals signals([ended] { [[maybe_unused]] const auto n = ::write(ended, "e", 1); });
  [[maybe_unused]] const auto n = ::write(ready, "r", 1);
  for (;;) toolkitLoop ? void(Fl::wait(1.0)) : void(::pause());
}

// How the child ended, within 20 s; it is killed after that.
int endingSignal(pid_t child) {
  int status = 0;
  for (int i = 0; i < 200 && ::waitpid(child, &status, WNOHANG) == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (::waitpid(child, &status, WNOHANG) == 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    return 0;
  }
  return WIFSIGNALED(status) ? WTERMSIG(status) : -1;
}

TEST(TerminationSignals, EndTheProgramAsTheSignalWouldWhateverLoopRuns) {
  for (const bool toolkitLoop : {true, false}) {
    SCOPED_TRACE(toolkitLoop ? "the toolkit's loop" : "a loop that never reads the signal");
    int ready[2], ended[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(ended), 0);
    const pid_t child = startChild(toolkitLoop, ready[1], ended[1]);
    ::close(ready[1]);
    ::close(ended[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::kill(child, SIGTERM);
    EXPECT_EQ(endingSignal(child), SIGTERM);
    // The recovery copy is kept only by the loop that reads the signal.
    EXPECT_EQ(::read(ended[0], &byte, 1), toolkitLoop ? 1 : 0);
    ::close(ready[0]);
    ::close(ended[0]);
  }
}

}  // namespace
