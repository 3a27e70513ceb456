#pragma once

#include <functional>
#include <string>

#include "document/Outcome.h"
#include "view/Command.h"
#include "view/ReferencePictures.h"

class OrbitCamera;
class PoseDocument;

// The view's camera and reference pictures as the document keeps them: the
// camera written into the document's view state, a view a file brought
// taken once, and the current view's picture drawn and changed.
class ViewKeeper {
 public:
  ViewKeeper(OrbitCamera& camera, PoseDocument& document, std::function<void(const Outcome&)> report);

  // Takes the camera and the pictures a file brought, once; false when none
  // came since. A picture that cannot be read is reported.
  bool takeBrought();
  // Writes the camera into the document, a view a file brought taken first:
  // the camera it replaces is not kept.
  void keep();
  // The picture of the view the camera is at, behind the figure.
  void drawPicture(double aspect);
  // The reference pictures' commands; ask gives the file Ctrl+B chose.
  bool run(Command command, const std::function<std::string()>& ask);
  void contextLost() { pictures.contextLost(); }

 private:
  OrbitCamera& camera;
  PoseDocument& document;
  std::function<void(const Outcome&)> report;
  ReferencePictures pictures;
  unsigned taken = 0;  // the document's count of views brought, as last taken
};
