// Asks a top-level window to close the way a window manager's close button
// does: a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW. With
// --burst, sends a click at (X, Y) in the window and keys in one burst,
// flushed once, so that they all reach the program before its next frame, as
// a quick hand or a busy machine does.
// Usage: wm_close WINDOW-ID   (decimal or 0x hex)
//        wm_close --burst WINDOW-ID X Y KEY...   (a keysym name, ctrl+ before it for Ctrl)
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool failed = false;

int onError(Display*, XErrorEvent* e) {
  std::fprintf(stderr, "wm_close: X error %d\n", e->error_code);
  failed = true;
  return 0;
}

void burst(Display* d, Window window, char** argv, int argc) {
  int x = 0, y = 0;
  Window child;
  XTranslateCoordinates(d, window, DefaultRootWindow(d), std::atoi(argv[0]), std::atoi(argv[1]), &x, &y, &child);
  XTestFakeMotionEvent(d, -1, x, y, CurrentTime);
  XTestFakeButtonEvent(d, 1, True, CurrentTime);
  XTestFakeButtonEvent(d, 1, False, CurrentTime);
  const KeyCode ctrl = XKeysymToKeycode(d, XStringToKeysym("Control_L"));
  for (int i = 2; i < argc; ++i) {
    const bool withCtrl = std::strncmp(argv[i], "ctrl+", 5) == 0;
    const KeyCode key = XKeysymToKeycode(d, XStringToKeysym(argv[i] + (withCtrl ? 5 : 0)));
    if (withCtrl) XTestFakeKeyEvent(d, ctrl, True, CurrentTime);
    XTestFakeKeyEvent(d, key, True, CurrentTime);
    XTestFakeKeyEvent(d, key, False, CurrentTime);
    if (withCtrl) XTestFakeKeyEvent(d, ctrl, False, CurrentTime);
  }
}

void sendClose(Display* display, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
}

}  // namespace

int main(int argc, char** argv) {
  const bool isBurst = argc >= 5 && std::strcmp(argv[1], "--burst") == 0;
  const char* given = argc == 2 || isBurst ? argv[isBurst ? 2 : 1] : "";
  char* end = nullptr;
  const unsigned long id = std::strtoul(given, &end, 0);
  if (end == given || *end != '\0' || id == 0) {
    std::fprintf(stderr, "usage: %s WINDOW-ID, or %s --burst WINDOW-ID X Y KEY...\n", argv[0], argv[0]);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "wm_close: cannot open the display\n");
    return 1;
  }
  XSetErrorHandler(onError);
  if (isBurst) {
    burst(display, static_cast<Window>(id), argv + 3, argc - 3);
  } else {
    sendClose(display, static_cast<Window>(id));
  }
  // Round trip: a bad window id shows up as an error before we report success.
  XSync(display, False);
  XCloseDisplay(display);
  return failed ? 1 : 0;
}
