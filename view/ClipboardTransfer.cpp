#include "view/ClipboardTransfer.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include <algorithm>
#include <vector>

namespace {

// How long the clipboard's owner may stay silent before the transfer is given up.
constexpr double kPatience = 3.0;

Atom atom(const char* name) { return XInternAtom(fl_display, name, False); }

// The toolkit removes a system handler by its function alone, so one handler
// serves every transfer.
std::vector<ClipboardTransfer*>& transfers() {
  static std::vector<ClipboardTransfer*> all;
  return all;
}

// The size of the window property and its format, without reading it.
struct PropertyShape {
  Atom type = None;
  int format = 0;
  unsigned long bytes = 0;
};

PropertyShape shapeOf(Window window, Atom property) {
  PropertyShape shape;
  unsigned long items = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(fl_display, window, property, 0, 0, False, AnyPropertyType, &shape.type, &shape.format, &items,
                     &shape.bytes, &data);
  if (data) XFree(data);
  return shape;
}

}  // namespace

ClipboardTransfer::ClipboardTransfer(std::size_t keep_, std::function<void(const ClipboardText&)> deliver_)
    : keep(keep_), deliver(std::move(deliver_)) {}

ClipboardTransfer::~ClipboardTransfer() {
  Fl::remove_timeout(giveUp, this);
  auto& all = transfers();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  if (all.empty()) Fl::remove_system_handler(handleEvent);
  if (window && fl_display) XDestroyWindow(fl_display, window);
}

void ClipboardTransfer::request() {
  if (waiting()) return;
  fl_open_display();
  if (!window) {
    window = XCreateSimpleWindow(fl_display, RootWindow(fl_display, fl_screen), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(fl_display, window, PropertyChangeMask);
    property = atom("MANNEQUIN_CLIPBOARD");
    incremental = atom("INCR");
    if (transfers().empty()) Fl::add_system_handler(handleEvent, nullptr);
    transfers().push_back(this);
  }
  text = ClipboardText();
  ask(atom("UTF8_STRING"), Stage::Asked);
}

void ClipboardTransfer::ask(unsigned long target, Stage next) {
  stage = next;
  XConvertSelection(fl_display, atom("CLIPBOARD"), target, property, window, CurrentTime);
  XFlush(fl_display);
  restartTimer();
}

int ClipboardTransfer::handleEvent(void* event, void*) {
  for (ClipboardTransfer* transfer : transfers()) {
    if (transfer->handle(event)) return 1;
  }
  return 0;
}

// Everything sent to the transfer's own window is the transfer's.
bool ClipboardTransfer::handle(const void* e) {
  const XEvent& event = *static_cast<const XEvent*>(e);
  if (event.type == SelectionNotify && event.xselection.requestor == window) {
    if (stage == Stage::Asked || stage == Stage::AskedForLatin1) answered(event.xselection.property);
    return true;
  }
  if (event.type == PropertyNotify && event.xproperty.window == window) {
    if (stage == Stage::Chunks && event.xproperty.state == PropertyNewValue && event.xproperty.atom == property) {
      chunk();
    }
    return true;
  }
  return false;
}

void ClipboardTransfer::answered(unsigned long answer) {
  // No text: no owner, or one that does not give this kind of text.
  if (answer == None) {
    if (stage == Stage::Asked) return ask(XA_STRING, Stage::AskedForLatin1);
    return finish();
  }
  if (shapeOf(window, property).type == incremental) {
    // The owner sends the text in chunks, each once the last one is deleted.
    stage = Stage::Chunks;
    XDeleteProperty(fl_display, window, property);
    XFlush(fl_display);
    restartTimer();
    return;
  }
  chunk();
  finish();
}

// Takes the property's bytes, up to what is kept, and counts them all.
void ClipboardTransfer::chunk() {
  const PropertyShape shape = shapeOf(window, property);
  const std::size_t wanted = std::min<std::size_t>(shape.bytes, keep - std::min(keep, text.head.size()));
  if (shape.format == 8 && wanted > 0) {
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(fl_display, window, property, 0, static_cast<long>((wanted + 3) / 4), False, AnyPropertyType,
                       &type, &format, &items, &after, &data);
    if (data) text.head.append(reinterpret_cast<const char*>(data), std::min<std::size_t>(items, wanted));
    if (data) XFree(data);
  }
  text.size += shape.bytes;
  XDeleteProperty(fl_display, window, property);
  XFlush(fl_display);
  if (stage != Stage::Chunks) return;
  // An empty chunk ends the text.
  if (shape.bytes == 0) return finish();
  restartTimer();
}

void ClipboardTransfer::finish() {
  stage = Stage::Idle;
  Fl::remove_timeout(giveUp, this);
  const ClipboardText whole = std::move(text);
  text = ClipboardText();
  deliver(whole);
}

void ClipboardTransfer::restartTimer() {
  Fl::remove_timeout(giveUp, this);
  Fl::add_timeout(kPatience, giveUp, this);
}

void ClipboardTransfer::giveUp(void* data) {
  auto* transfer = static_cast<ClipboardTransfer*>(data);
  if (!transfer->waiting()) return;
  XDeleteProperty(fl_display, transfer->window, transfer->property);
  transfer->text.broken = true;
  transfer->finish();
}
