// Asks a top-level window to close the way a window manager's close button
// does: a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW.
// Usage: wm_close WINDOW-ID   (decimal or 0x hex)
#include <X11/Xlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

bool failed = false;

int onError(Display*, XErrorEvent* e) {
  std::fprintf(stderr, "wm_close: X error %d\n", e->error_code);
  failed = true;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s WINDOW-ID\n", argv[0]);
    return 2;
  }
  char* end = nullptr;
  errno = 0;
  const unsigned long id = std::strtoul(argv[1], &end, 0);
  if (errno != 0 || end == argv[1] || *end != '\0' || id == 0) {
    std::fprintf(stderr, "wm_close: bad window id '%s'\n", argv[1]);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "wm_close: cannot open the display\n");
    return 1;
  }
  XSetErrorHandler(onError);
  const Window window = static_cast<Window>(id);

  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  // Round trip: a bad window id shows up as an error before we report success.
  XSync(display, False);
  XCloseDisplay(display);
  return failed ? 1 : 0;
}
