#include "view/FileCommands.h"

#include <FL/fl_ask.H>

#include "document/PoseDocument.h"
#include "pose/PoseFile.h"

FileCommands::FileCommands(PoseDocument& document_, std::function<void(const Outcome&)> show_,
                           std::function<void()> afterDialog_)
    : document(document_), show(std::move(show_)), afterDialog(std::move(afterDialog_)) {}

// The dialog takes the keys while it is open: the releases of the keys that
// opened it go there.
std::string FileCommands::ask(FileDialog kind, const std::string& suggested) {
  const std::string path = chooseFile(kind, suggested);
  afterDialog();
  return path;
}

// Asked before the file dialog, as other editors do: an open replaces the pose.
void FileCommands::open() {
  if (!mayDiscard()) return;
  const std::string path = ask(FileDialog::OpenPose, document.path());
  if (!path.empty()) show(document.open(path));
}

bool FileCommands::save() {
  if (document.path().empty()) return saveAs();
  return saveTo(document.path());
}

bool FileCommands::saveAs() {
  const std::string path = ask(FileDialog::SavePose, document.suggestedPoseName());
  return !path.empty() && saveTo(pose_file::withExtension(path));
}

bool FileCommands::saveTo(const std::string& path) {
  const Outcome outcome = document.saveTo(path);
  show(outcome);
  return !outcome.refused;
}

void FileCommands::exportPicture(const std::function<std::string()>& png) {
  const std::string path = ask(FileDialog::SavePicture, document.suggestedPictureName());
  if (!path.empty()) show(document.exportPicture(path, png()));
}

bool FileCommands::mayDiscard() {
  if (!document.modified()) return true;
  // The toolkit reads @ in a label as the start of a symbol; @@ shows one.
  std::string name;
  for (char c : document.shownFileName()) name += c == '@' ? "@@" : std::string(1, c);
  fl_message_title("mannequin");
  const int answer = fl_choice("%s has changes that are not saved.", "Cancel", "&Save", "&Discard", name.c_str());
  afterDialog();
  switch (answer) {
    case 1:
      return save();
    case 2:
      return true;
    default:
      return false;
  }
}
