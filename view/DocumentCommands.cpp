#include "view/DocumentCommands.h"

#include <FL/Fl.H>

#include <string>

#include "document/PoseDocument.h"
#include "view/FileCommands.h"

namespace {

void copy(PoseDocument& document, const std::function<void(const Outcome&)>& report) {
  std::string text;
  const Outcome copied = document.copy(text);
  report(copied);
  // A refused copy leaves the clipboard as it was.
  if (!copied.refused) Fl::copy(text.c_str(), static_cast<int>(text.size()), 1);
}

}  // namespace

bool runDocumentCommand(Command command, PoseDocument& document, FileCommands& files,
                        const std::function<void(const Outcome&)>& report) {
  switch (command) {
    case Command::Open:
      files.open();
      return true;
    case Command::Save:
      files.save();
      return true;
    case Command::SaveAs:
      files.saveAs();
      return true;
    case Command::NewPose:
      if (files.mayDiscard()) report(document.newPose());
      return true;
    case Command::Undo:
      report(document.undo());
      return true;
    case Command::Redo:
      report(document.redo());
      return true;
    case Command::Reset:
      report(document.reset());
      return true;
    case Command::Copy:
      copy(document, report);
      return true;
    default:
      return false;
  }
}
