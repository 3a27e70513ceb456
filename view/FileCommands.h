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
               std::function<void()> afterDialog);

  void open();
  // False when nothing was saved: cancelled, or refused.
  bool save();
  bool saveAs();
  // png gives the picture's bytes once a name is chosen, or why there are none.
  void exportPicture(const std::function<std::string(std::string& refusal)>& png);
  // Asks what to do with changes not saved; false to keep the pose as it is.
  bool mayDiscard();

 private:
  bool saveTo(const std::string& path);
  std::string completed(const std::string& typed, std::string_view extension);
  std::string ask(FileDialog kind, const std::string& suggested, int* filter = nullptr);

  PoseDocument& document;
  std::function<void(const Outcome&)> show;
  std::function<void()> afterDialog;
};
