#pragma once

#include <functional>
#include <string>

#include "document/Outcome.h"

class PoseDocument;
namespace capture {
struct Capture;
}

// Asks which frame of a motion capture to import, in a small window of the
// program's own: a slider over the frames, the figure showing each one
// fitted as it moves (a preview: no step, no recovery copy), OK to import it
// as one step, Cancel or Escape to leave everything as it was. shown is
// called after each frame is previewed, to draw it.
Outcome chooseCaptureFrame(PoseDocument& document, const capture::Capture& capture, const std::string& path,
                           const std::function<void()>& shown);
