#include "view/PosingCommands.h"

#include "document/PoseDocument.h"
#include "view/PointerGestures.h"

bool runPosingCommand(Command command, PoseDocument& document, PointerGestures& pointer, const Segment* under,
                      int x, int y) {
  switch (command) {
    case Command::HideHelp:
      if (!pointer.turning()) return false;
      pointer.endTurn(false);
      return true;
    case Command::KeepTurn:
      pointer.endTurn(true);
      return true;
    case Command::TurnJoint:
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
