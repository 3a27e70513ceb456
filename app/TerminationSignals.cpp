#include "app/TerminationSignals.h"

#include <FL/Fl.H>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>

namespace {

int pipeEnds[2] = {-1, -1};
volatile std::sig_atomic_t pending = 0;

// The desktop's file dialog runs a loop of its own, which never reads the
// pipe: if the program's loop has not taken the signal within this time, the
// signal ends the program as it would have, leaving the recovery copy of the
// last step (no drag is under way while a dialog is open).
constexpr unsigned kPatienceSeconds = 2;

void endAsSignalled(int) {
  std::signal(pending, SIG_DFL);
  std::raise(pending);
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> beforeEnd_) : beforeEnd(std::move(beforeEnd_)) {
  if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  Fl::add_fd(pipeEnds[0], FL_READ, received, this);
  struct sigaction action {};
  action.sa_handler = handle;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  std::signal(SIGALRM, endAsSignalled);
}

void TerminationSignals::handle(int signal) {
  pending = signal;
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
  ::alarm(kPatienceSeconds);
}

void TerminationSignals::received(int fd, void* self) {
  char signal = 0;
  if (::read(fd, &signal, 1) != 1) return;
  ::alarm(0);
  static_cast<TerminationSignals*>(self)->beforeEnd();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}
