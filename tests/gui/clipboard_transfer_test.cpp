// The clipboard read through Xlib, against another program on the same
// server: no owner at all, an owner that goes silent, a text in chunks.
#include <gtest/gtest.h>

#include "view/ClipboardTransfer.h"

#include <FL/Fl.H>
#include <X11/Xlib.h>

#include <chrono>
#include <optional>
#include <vector>

namespace {

// Owns the CLIPBOARD from a connection of its own and sends its text in
// chunks, each once the last one is deleted; silent when they run out.
struct Owner {
  Display* display = XOpenDisplay(nullptr);
  Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
  std::vector<std::string> chunks;
  std::size_t sent = 0;
  Window requestor = None;
  Atom property = None;

  explicit Owner(std::vector<std::string> chunks_) : chunks(std::move(chunks_)) {
    XSetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False), window, CurrentTime);
    XSync(display, False);
  }
  ~Owner() { XCloseDisplay(display); }

  void serve() {
    while (XPending(display)) {
      XEvent e;
      XNextEvent(display, &e);
      if (e.type == SelectionRequest) {
        XSelectionEvent answer = {SelectionNotify, 0, False, display, e.xselectionrequest.requestor,
                                  e.xselectionrequest.selection, e.xselectionrequest.target,
                                  e.xselectionrequest.property, e.xselectionrequest.time};
        requestor = answer.requestor;
        property = answer.property;
        XSelectInput(display, requestor, PropertyChangeMask);
        const long lowerBound = 1;
        XChangeProperty(display, requestor, property, XInternAtom(display, "INCR", False), 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&lowerBound), 1);
        XSendEvent(display, requestor, False, 0, reinterpret_cast<XEvent*>(&answer));
      } else if (e.type == PropertyNotify && e.xproperty.state == PropertyDelete && e.xproperty.atom == property &&
                 sent < chunks.size()) {
        const std::string& chunk = chunks[sent++];
        XChangeProperty(display, requestor, property, XInternAtom(display, "UTF8_STRING", False), 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(chunk.data()),
                        static_cast<int>(chunk.size()));
      }
    }
    XFlush(display);
  }
};

// What a request with 10 bytes kept delivers; nothing if it hangs.
std::optional<ClipboardText> paste(Owner* owner) {
  std::optional<ClipboardText> got;
  ClipboardTransfer transfer(10, [&](const ClipboardText& text) { got = text; });
  transfer.request();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!got && std::chrono::steady_clock::now() < deadline) {
    Fl::wait(0.01);
    if (owner) owner->serve();
  }
  return got;
}

// No owner at all: an empty answer, no owner taken for a silent one; an
// owner that goes silent: a broken transfer; a text in chunks: its size and
// the first 10 bytes.
TEST(ClipboardTransfer, AnswersWithNoOwnerASilentOneOrAChunkedText) {
  const std::optional<ClipboardText> none = paste(nullptr);
  ASSERT_TRUE(none) << "no answer with no clipboard owner";
  EXPECT_FALSE(none->broken);
  EXPECT_EQ(none->size, 0u);
  Owner silent({});
  const std::optional<ClipboardText> broken = paste(&silent);
  ASSERT_TRUE(broken) << "still waiting for an owner that went silent";
  EXPECT_TRUE(broken->broken);
  Owner chunked({"abcdefgh", "ijklmnop", ""});
  const std::optional<ClipboardText> text = paste(&chunked);
  ASSERT_TRUE(text);
  EXPECT_FALSE(text->broken);
  EXPECT_EQ(text->head, "abcdefghij");
  EXPECT_EQ(text->size, 16u);
}

}  // namespace
