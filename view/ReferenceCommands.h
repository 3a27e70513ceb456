#pragma once

#include <functional>
#include <string>

#include "document/Outcome.h"
#include "view/Command.h"

class PoseDocument;
class ReferencePictures;

// The reference pictures' commands, on the picture of the view the camera
// is at (ViewState's numbering): no step, no setting, no mark. ask gives
// the file Ctrl+B chose, empty when none was. False for any other command.
bool runReferenceCommand(Command command, PoseDocument& document, ReferencePictures& pictures, int view,
                         const std::function<std::string()>& ask, Outcome& outcome);
