#pragma once

#include <string>

#include "view/Command.h"

class Figure;
class OrbitCamera;

// The commands that move only the camera (Home, the views, f, the lens):
// no step, no setting. False for any other command; words, when the title
// should say something.
bool runCameraCommand(Command command, OrbitCamera& camera, const Figure& figure, double aspect,
                      std::string& words);
