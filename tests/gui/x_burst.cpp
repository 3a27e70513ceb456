// Sends a click and keys in one burst, flushed once, so that they all reach
// the program before its next frame, as a quick hand or a busy machine does.
// Usage: x_burst WINDOW-ID X Y KEY...   (a KEY is a keysym name, with
// ctrl+ before it for Ctrl)
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  Display* d = argc >= 4 ? XOpenDisplay(nullptr) : nullptr;
  if (!d) {
    std::fprintf(stderr, "usage: %s WINDOW-ID X Y KEY...  (with DISPLAY set)\n", argv[0]);
    return 2;
  }
  int x = 0, y = 0;
  Window child;
  XTranslateCoordinates(d, std::strtoul(argv[1], nullptr, 0), DefaultRootWindow(d), std::atoi(argv[2]),
                        std::atoi(argv[3]), &x, &y, &child);
  XTestFakeMotionEvent(d, -1, x, y, CurrentTime);
  XTestFakeButtonEvent(d, 1, True, CurrentTime);
  XTestFakeButtonEvent(d, 1, False, CurrentTime);
  const KeyCode ctrl = XKeysymToKeycode(d, XStringToKeysym("Control_L"));
  for (int i = 4; i < argc; ++i) {
    const bool withCtrl = std::strncmp(argv[i], "ctrl+", 5) == 0;
    const KeyCode key = XKeysymToKeycode(d, XStringToKeysym(argv[i] + (withCtrl ? 5 : 0)));
    if (withCtrl) XTestFakeKeyEvent(d, ctrl, True, CurrentTime);
    XTestFakeKeyEvent(d, key, True, CurrentTime);
    XTestFakeKeyEvent(d, key, False, CurrentTime);
    if (withCtrl) XTestFakeKeyEvent(d, ctrl, False, CurrentTime);
  }
  XFlush(d);
  XCloseDisplay(d);
  return 0;
}
