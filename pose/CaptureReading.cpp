#include "pose/CaptureReading.h"

#include <sstream>

#include "pose/Capture.h"
#include "pose/CaptureFit.h"

namespace capture {

namespace {

// The root's name where the text begins as a BVH hierarchy does; empty
// otherwise.
std::string rootName(const std::string& text) {
  std::istringstream words(text.substr(0, 4096));
  std::string hierarchy, root, name;
  if (words >> hierarchy >> root >> name && root == "ROOT") return name;
  return "";
}

}  // namespace

bvh::Reading readFrame(const Figure& figure, std::istream& in, int frame) {
  std::string text;
  char block[1 << 16];
  while (in.read(block, sizeof block) || in.gcount() > 0) {
    text.append(block, static_cast<size_t>(in.gcount()));
    if (text.size() > bvh::kSizeLimit) return {Pose(), 0, bvh::sizeRefusal(text.size())};
  }
  const std::string root = rootName(text);
  if (root.empty() || root == figure.root->name) {
    std::istringstream own(text);
    return bvh::read(figure, own, frame);
  }
  std::istringstream other(text);
  const Loading loading = load(figure, other);
  if (!loading.error.empty()) return {Pose(), 0, loading.error};
  Fitting fitting = fit(figure, *loading.capture, frame);
  if (!fitting.error.empty()) return {Pose(), 0, fitting.error};
  return {std::move(fitting.pose), loading.capture->frames, ""};
}

}  // namespace capture
