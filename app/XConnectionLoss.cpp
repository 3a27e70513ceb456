#include "app/XConnectionLoss.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace x_connection_loss {

namespace {

constexpr int kFaults[] = {SIGSEGV, SIGBUS};
// Made before any loss: a handler may not allocate.
std::string said;
volatile sig_atomic_t finished = -1;  // the status once done
int connection = -1;                  // the display's socket
struct sigaction before[2];
XErrorHandler toolkits = nullptr;  // the toolkit's X error handler

// Only what is safe in a signal handler, and nothing of the toolkit's or
// GL's, whose state may be half changed.
[[noreturn]] void end() {
  if (finished >= 0) _exit(finished);
  [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, said.data(), said.size());
  _exit(1);
}

// Xlib ends the program itself when this returns.
int onIoError(Display*) { end(); }

std::function<void()> keeping;
XIOErrorHandler toolkitsIoError = nullptr;

int keepThenEnd(Display* display) {
  if (keeping) std::exchange(keeping, nullptr)();
  return toolkitsIoError ? toolkitsIoError(display) : 0;
}

// The server's end is closed when a peek finds the end of the stream or an
// error, not "nothing yet".
bool serverGone() {
  char byte;
  const ssize_t n = recv(connection, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

// Mesa makes up an X error of its own when a reply never came; the
// toolkit's handler would print it.
int onError(Display* display, XErrorEvent* error) {
  if (serverGone()) end();
  return toolkits ? toolkits(display, error) : 0;
}

void onFault(int signal) {
  const int saved = errno;
  if (connection >= 0 && serverGone()) end();
  // Back to the fault's handler before ours; the faulting instruction runs
  // again on return and meets it.
  for (int i = 0; i < 2; ++i)
    if (kFaults[i] == signal) sigaction(signal, &before[i], nullptr);
  errno = saved;
}

}  // namespace

void watch(const std::string& line) {
  // Opening the display sets the toolkit's handlers: ours go after them.
  fl_open_display();
  said = "mannequin: " + line + "\n";
  connection = ConnectionNumber(fl_display);
  XSetIOErrorHandler(onIoError);
  toolkits = XSetErrorHandler(onError);
  struct sigaction action {};
  action.sa_handler = onFault;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < 2; ++i) sigaction(kFaults[i], &action, &before[i]);
}

void done(int status) { finished = status; }

void keepBeforeLoss(std::function<void()> keep) {
  fl_open_display();
  keeping = std::move(keep);
  // Set once: set again, it would hand the loss back to itself.
  static bool installed = false;
  if (!installed) toolkitsIoError = XSetIOErrorHandler(keepThenEnd);
  installed = true;
}

}  // namespace x_connection_loss
