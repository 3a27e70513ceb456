#pragma once

#include <cstddef>
#include <memory>

#include "document/FileInPlay.h"
#include "document/HandleTwins.h"
#include "pose/FigureState.h"

// One state of the document's history: the figure's pose and handles, which
// of them are mirror twins, and the file in play then.
struct DocumentStep {
  FigureState pose;
  std::shared_ptr<FileInPlay> file;
  HandleTwins twins;

  // The file is shared with other steps: only the pose is this step's own.
  std::size_t bytes() const { return pose.bytes() + sizeof file + twins.bytes(); }
};

inline bool operator==(const DocumentStep& a, const DocumentStep& b) {
  return a.file == b.file && a.pose == b.pose && a.twins == b.twins;
}
