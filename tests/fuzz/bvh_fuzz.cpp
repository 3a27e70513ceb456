// A libFuzzer target for the BVH reader: any bytes at all, read for the
// humanoid. Every input must end as a refusal of one line with no pose, or
// as a pose that applies, whose export reads back as the figure then holds
// it: the same parameters to rounding, quaternions up to sign.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>

#include "../bvh/bvh_cases.h"
#include "fuzz_check.h"
#include "humanoid/Humanoid.h"
#include "pose/BvhReader.h"
#include "pose/BvhWriter.h"
#include "pose/FigureState.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::unique_ptr<Figure> figure = buildHumanoid();
  static const FigureState start = saveState(*figure);

  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  // Odd sizes ask for the second frame.
  const int frame = 1 + static_cast<int>(size % 2);
  const bvh::Reading reading = bvh::read(*figure, in, frame);
  if (!reading.error.empty()) {
    check(reading.error.find('\n') == std::string::npos);
    check(reading.pose.params.empty());
    return 0;
  }
  check(reading.frames >= frame);
  applyPose(*figure, reading.pose);
  const std::vector<double> held = figure->dofs();
  for (double v : held) check(std::isfinite(v));

  const bvh::Writing writing = bvh::write(*figure);
  check(writing.error.empty());
  std::istringstream again(writing.text);
  const bvh::Reading back = bvh::read(*figure, again);
  check(back.error.empty());
  const std::vector<double> read = bvh_cases::paramsLike(*figure, back.pose.params);
  check(read.size() == held.size());
  for (size_t k = 0; k < held.size(); ++k) {
    check(std::fabs(read[k] - held[k]) <= 1e-9 * std::max(1.0, std::fabs(held[k])));
  }
  restoreState(*figure, start);
  return 0;
}
