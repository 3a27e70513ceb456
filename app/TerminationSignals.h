#pragma once

#include <functional>

// SIGTERM and SIGHUP (a logout, a closed terminal), taken from the event
// loop: the handler only writes the signal to a pipe the loop watches, which
// then runs beforeEnd and ends the program as the signal would have.
class TerminationSignals {
 public:
  explicit TerminationSignals(std::function<void()> beforeEnd);

 private:
  static void handle(int signal);
  static void received(int fd, void* self);

  std::function<void()> beforeEnd;
};
