#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "document/Outcome.h"
#include "view/FileDialog.h"

class PoseDocument;

// The commands that ask a person about files: open, save, save as, a picture,
// and the question before changes not saved would be lost. What came of each
// goes to the view through show.
class FileCommands {
 public:
  FileCommands(PoseDocument& document, std::function<void(const Outcome&)> show,
               std::function<void()> afterDialog, std::function<void()> redraw);

  void open();
  // Opens a file as Ctrl+O does: a BVH file of more than one frame asks
  // which frame first.
  Outcome openFile(const std::string& path);
  // False when nothing was saved: cancelled, or refused.
  bool save();
  bool saveAs();
  // Asks for the name of a picture or a BVH file, its extension completed,
  // and writes it: .bvh the skeleton and its pose, any other name what
  // picture writes there. Nothing when the person cancels.
  void exportAs(const std::function<Outcome(const std::string&)>& picture);
  // Asks what to do with changes not saved; false to keep the pose as it is.
  bool mayDiscard();

 private:
  bool saveTo(const std::string& path);
  std::string confirmed(const std::string& typed, const std::string& path);
  std::string ask(FileDialog kind, const std::string& suggested, int* filter = nullptr);

  PoseDocument& document;
  std::function<void(const Outcome&)> show;
  std::function<void()> afterDialog;
  std::function<void()> redraw;
};
