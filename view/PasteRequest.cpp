#include "view/PasteRequest.h"

#include <string>
#include <utility>

#include "document/PoseDocument.h"
#include "pose/PoseText.h"

PasteRequest::PasteRequest(PoseDocument& document_, std::function<bool()> buttonHeld_,
                           std::function<void(const Outcome&)> done_)
    : document(document_),
      buttonHeld(std::move(buttonHeld_)),
      done(std::move(done_)),
      clipboard(pose_text::kSizeLimit, [this](const ClipboardText& text) { receive(text); }) {}

void PasteRequest::ask(bool mirrored_) {
  if (clipboard.waiting()) return;
  mirrored = mirrored_;
  clipboard.request();
}

void PasteRequest::receive(const ClipboardText& text) {
  const std::string what = mirrored ? "paste mirrored: " : "paste: ";
  if (buttonHeld()) {
    done(Outcome::refusal(what + "not done: a mouse button is held"));
  } else if (text.broken) {
    done(Outcome::refusal(what + "the clipboard's owner stopped sending its text"));
  } else {
    done(document.paste(text.head, text.size, mirrored));
  }
}
