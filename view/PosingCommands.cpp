#include "view/PosingCommands.h"

#include "document/PoseDocument.h"
#include "view/PointerGestures.h"

bool runPosingCommand(Command command, PoseDocument& document, PointerGestures& pointer, const Segment* under,
                      int x, int y, std::string& words) {
  switch (command) {
    case Command::HideHelp:
      if (!pointer.turning()) return false;
      pointer.endTurn(false);
      return true;
    case Command::KeepTurn:
      pointer.endTurn(true);
      return true;
    case Command::TurnJoint:
      // A key that seems to do nothing would leave the person guessing.
      if (!under) words = "nothing to turn: no part of the body is under the pointer";
      pointer.beginTurn(under, x, y);
      return true;
    case Command::ToggleFirmPins:
      document.setFirm(!document.firmPins());
      return true;
    case Command::ToggleMirror:
      document.setMirror(!document.mirrored());
      return true;
    default:
      return false;
  }
}
