#include "view/CameraCommands.h"

#include "view/OrbitCamera.h"
#include "view/ViewFraming.h"

bool runCameraCommand(Command command, OrbitCamera& camera, const Figure& figure, double aspect,
                      std::string& words) {
  switch (command) {
    case Command::Home:
      camera = OrbitCamera();
      return true;
    case Command::ViewFront:
    case Command::ViewBack:
    case Command::ViewRight:
    case Command::ViewLeft:
    case Command::ViewTop:
    case Command::ViewBottom:
      // The view commands come in the order of the sides.
      lookFrom(camera, static_cast<ViewSide>(int(command) - int(Command::ViewFront)), figure, aspect);
      return true;
    case Command::FitFigure:
      fitFigure(camera, figure, aspect);
      return true;
    case Command::NarrowLens:
    case Command::WidenLens:
      camera.changeLens(command == Command::NarrowLens ? -1 : 1);
      words = "field of view " + std::to_string(int(camera.fieldOfView)) + " degrees";
      return true;
    default:
      return false;
  }
}
