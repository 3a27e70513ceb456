#include "view/FileCommands.h"

#include <FL/fl_ask.H>
#include <unistd.h>

#include "document/PoseDocument.h"
#include "pose/ShownText.h"
#include "pose/PoseFile.h"
#include "view/CaptureChooser.h"
#include "view/OperatorTable.h"
#include "view/PictureOptions.h"

FileCommands::FileCommands(PoseDocument& document_, std::function<void(const Outcome&)> show_,
                           std::function<void()> afterDialog_, std::function<void()> redraw_)
    : document(document_), show(std::move(show_)), afterDialog(std::move(afterDialog_)), redraw(std::move(redraw_)) {}

namespace {

// The toolkit reads @ in a label as the start of a symbol; @@ shows one.
std::string forLabel(const std::string& text) {
  std::string label;
  for (char c : text) label += c == '@' ? "@@" : std::string(1, c);
  return label;
}

}  // namespace

// The dialog takes the keys while it is open: the releases of the keys that
// opened it go there.
std::string FileCommands::ask(FileDialog kind, const std::string& suggested, int* filter) {
  const std::string path = chooseFile(kind, suggested, filter);
  afterDialog();
  return path;
}

// Asked before the file dialog, as other editors do: an open replaces the pose.
void FileCommands::open() {
  if (!mayDiscard()) return;
  const std::string path = ask(FileDialog::OpenPose, document.path());
  if (!path.empty()) show(openFile(path));
}

Outcome FileCommands::openFile(const std::string& path) {
  if (!PoseDocument::isMotion(path)) return document.open(path);
  const PoseDocument::CaptureOpening opening = document.openCapture(path);
  if (!opening.capture) return opening.refusal;
  if (opening.capture->frames <= 1) return document.open(path);
  const Outcome chosen = chooseCaptureFrame(document, *opening.capture, path, redraw);
  afterDialog();
  return chosen;
}

bool FileCommands::save() {
  if (document.path().empty()) return saveAs();
  return saveTo(document.path());
}

bool FileCommands::saveAs() {
  const std::string typed = ask(FileDialog::SavePose, document.suggestedPoseName());
  const std::string path = confirmed(typed, pose_file::withExtension(typed));
  return !path.empty() && saveTo(path);
}

// The name typed with its extension added. The dialog asked about the name as
// typed, so a file that the extension makes it name is asked about here;
// empty when the person keeps it.
std::string FileCommands::confirmed(const std::string& typed, const std::string& path) {
  if (path == typed || ::access(path.c_str(), F_OK) != 0) return path;
  const std::string name = forLabel(shownName(pose_file::nameOf(path)));
  fl_message_title("mannequin");
  const int answer = fl_choice("%s already exists. Replace it?", "Cancel", operators::labelOf(Answer::Replace), nullptr,
                                 name.c_str());
  afterDialog();
  return answer == 1 ? path : "";
}

bool FileCommands::saveTo(const std::string& path) {
  if (path == document.path() && document.changedOnDisk()) {
    const std::string name = forLabel(document.shownFileName());
    fl_message_title("mannequin");
    const int answer = fl_choice("%s changed on disk since it was opened or saved here. Overwrite it?", "Cancel",
                                 operators::labelOf(Answer::Overwrite), nullptr, name.c_str());
    afterDialog();
    if (answer != 1) return false;
  }
  const Outcome outcome = document.saveTo(path);
  show(outcome);
  return !outcome.refused;
}

// A name without an extension takes the file type chosen in the dialog.
void FileCommands::exportAs(const std::function<Outcome(const std::string&)>& picture) {
  int filter = 0;
  const std::string typed = ask(FileDialog::SavePicture, document.suggestedPictureName(), &filter);
  const std::string path =
      confirmed(typed, filter == 1 ? pose_file::withExtension(typed, ".bvh") : pictureFileName(typed));
  if (path.empty()) return;
  show(pose_file::hasExtension(path, ".bvh") ? document.exportBvh(path) : picture(path));
}

bool FileCommands::mayDiscard() {
  if (!document.modified()) return true;
  const std::string name = forLabel(document.shownFileName());
  fl_message_title("mannequin");
  const int answer = fl_choice("%s has changes that are not saved.", "Cancel",
                               operators::labelOf(Answer::Save), operators::labelOf(Answer::Discard), name.c_str());
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
