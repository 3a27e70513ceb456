#pragma once

#include <functional>
#include <string>

#include "document/Outcome.h"

class PoseDocument;

// The pose library in a window of the program's own, "mannequin: poses":
// the shelves' pictures as thumbnails under their names, by shelf and
// group, and the choices of how to apply the chosen one (part, mirrored,
// amount). The figure previews it as the choices change (no step, no
// recovery copy); Apply keeps it as one step, Cancel or Escape leaves the
// pose as it was. The current pose can be added to the person's shelf as a
// picture that thumbnail draws; the person's own can be renamed and
// deleted. shown is called after each preview, to draw it.
Outcome choosePose(PoseDocument& document, const std::function<std::string()>& thumbnail,
                   const std::function<void()>& shown);
