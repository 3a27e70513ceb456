// A libFuzzer target for reading a capture and fitting it: any bytes at all.
// Every input must end as a refusal of one line, or as a capture whose every
// frame fits (or is refused in one line) into a pose whose values are finite,
// whose hinges are within their limits, and which applies.
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_check.h"
#include "humanoid/Humanoid.h"
#include "pose/Capture.h"
#include "pose/CaptureFit.h"
#include "pose/CaptureReading.h"
#include "pose/FigureState.h"

namespace {

void checkHinges(const Transform& t, const double*& p) {
  if (const auto* chain = dynamic_cast<const TransformChain*>(&t)) {
    for (int i = 0; i < chain->childCount(); ++i) checkHinges(chain->child(i), p);
    return;
  }
  if (const auto* h = dynamic_cast<const AxisRotation*>(&t)) check(*p >= h->lower && *p <= h->upper);
  p += t.dofCount();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::unique_ptr<Figure> figure = buildHumanoid();
  static const FigureState start = saveState(*figure);

  const std::string text(reinterpret_cast<const char*>(data), size);
  std::istringstream in(text);
  const capture::Loading loading = capture::load(*figure, in);
  if (!loading.error.empty()) {
    check(loading.error.find('\n') == std::string::npos && !loading.capture);
    return 0;
  }
  const capture::Capture& c = *loading.capture;
  check(c.frames >= 1 && c.values.size() == static_cast<size_t>(c.frames) * c.channels);
  const std::vector<Segment*> segments = figure->segments();
  for (long frame = 1; frame <= std::min(c.frames, 4L); ++frame) {
    const capture::Fitting fitting = capture::fit(*figure, c, frame);
    if (!fitting.error.empty()) {
      check(fitting.error.find('\n') == std::string::npos);
      continue;
    }
    check(fitting.pose.params.size() == segments.size());
    for (size_t i = 0; i < segments.size(); ++i) {
      check(fitting.pose.params[i].size() == static_cast<size_t>(segments[i]->joint->dofCount()));
      for (double v : fitting.pose.params[i]) check(std::isfinite(v));
      if (!c.own) {
        const double* p = fitting.pose.params[i].data();
        checkHinges(*segments[i]->joint, p);
      }
    }
    applyPose(*figure, fitting.pose);
    for (double v : figure->dofs()) check(std::isfinite(v));
    restoreState(*figure, start);
  }
  // Read as opening a file reads it: the same answer for frame 1.
  std::istringstream again(text);
  const bvh::Reading reading = capture::readFrame(*figure, again, 1);
  check(reading.error.find('\n') == std::string::npos);
  return 0;
}
