#include "app/TerminationSignals.h"

#include <FL/Fl.H>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>

namespace {

int pipeEnds[2] = {-1, -1};

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> beforeEnd_) : beforeEnd(std::move(beforeEnd_)) {
  if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  Fl::add_fd(pipeEnds[0], FL_READ, received, this);
  struct sigaction action {};
  action.sa_handler = handle;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

void TerminationSignals::handle(int signal) {
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
}

void TerminationSignals::received(int fd, void* self) {
  char signal = 0;
  if (::read(fd, &signal, 1) != 1) return;
  static_cast<TerminationSignals*>(self)->beforeEnd();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}
