#pragma once

#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "figure/Figure.h"
#include "pose/CaptureFamilies.h"
#include "pose/Dir3.h"

// A BVH motion file read whole, every frame's channels in memory, for
// fitting any of its frames onto the figure. Its skeleton is either the
// figure's own (its root named as the figure's), whose frames are read as
// bvh::read reads them, or one of the families the table knows.
namespace capture {

struct Joint {
  std::string name;  // empty for an end site
  int parent = -1;   // by index; -1 for the root
  Dir3 offset;
  int position[3] = {-1, -1, -1};          // the channels of x, y and z; -1: none
  std::vector<std::pair<int, int>> turns;  // rotation channels in the file's order: axis, channel
};

struct Capture {
  std::vector<Joint> joints;  // in the file's order, end sites included
  int channels = 0;           // in a frame
  long frames = 0;
  double frameTime = 0;
  std::vector<double> values;  // frame after frame
  bool own = false;            // the figure's own skeleton
  std::string hierarchy;       // the file's text before MOTION, for the figure's own
  Recognition recognition;     // for any other
  double legLength = 0;        // the thigh and shin, in the file's units, on average

  // The channels of frame n, counted from 1.
  const double* frame(long n) const { return values.data() + (n - 1) * channels; }
};

struct Loading {
  std::shared_ptr<const Capture> capture;
  std::string error;  // one line: why the file is refused whole
};

// Reads everything, refusing the whole file when anything is wrong: its
// form, a number that is not finite, a skeleton that is neither the figure's
// nor of a family the table knows, legs of no length.
Loading load(const Figure& figure, std::istream& in);

}  // namespace capture
