#pragma once

#include <functional>

#include "document/Outcome.h"
#include "view/ClipboardTransfer.h"

class PoseDocument;

// Ctrl+V and Ctrl+Shift+V: the clipboard's text is asked for, and pasted
// into the document when it comes, later, from the event loop.
class PasteRequest {
 public:
  // `buttonHeld` tells whether a mouse button is down when the text comes;
  // `done` takes what came of the paste.
  PasteRequest(PoseDocument& document, std::function<bool()> buttonHeld, std::function<void(const Outcome&)> done);
  // Asks for the clipboard's text; nothing while an answer is awaited.
  void ask(bool mirrored);
  bool waiting() const { return clipboard.waiting(); }

 private:
  void receive(const ClipboardText& text);

  PoseDocument& document;
  std::function<bool()> buttonHeld;
  std::function<void(const Outcome&)> done;
  bool mirrored = false;  // what the text is for when it comes
  ClipboardTransfer clipboard;
};
