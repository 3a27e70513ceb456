// A libFuzzer target for the BVH reader: any bytes at all, read for the
// humanoid. Every input must end as a refusal of one line with no pose, or
// as a pose that applies, whose export reads back as the figure then holds
// it: the same parameters to rounding, quaternions up to sign.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>

#include "figure/ParamKinds.h"
#include "fuzz_check.h"
#include "humanoid/Humanoid.h"
#include "pose/BvhReader.h"
#include "pose/BvhWriter.h"
#include "pose/FigureState.h"

namespace {

std::vector<ParamKind> kindsOf(const Figure& figure) {
  std::vector<ParamKind> kinds;
  for (const Segment* s : figure.segments()) {
    const std::vector<ParamKind> k = paramKinds(*s->joint);
    kinds.insert(kinds.end(), k.begin(), k.end());
  }
  return kinds;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::unique_ptr<Figure> figure = buildHumanoid();
  static const FigureState start = saveState(*figure);
  static const std::vector<ParamKind> kinds = kindsOf(*figure);

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
  std::vector<double> read;
  for (const std::vector<double>& p : back.pose.params) read.insert(read.end(), p.begin(), p.end());
  check(read.size() == held.size());
  for (size_t k = 0; k < held.size(); ++k) {
    if (kinds[k] == ParamKind::QuatX && read[k] * held[k] + read[k + 1] * held[k + 1] +
                                                read[k + 2] * held[k + 2] + read[k + 3] * held[k + 3] <
                                            0) {
      for (int c = 0; c < 4; ++c) read[k + c] = -read[k + c];
    }
    check(std::fabs(read[k] - held[k]) <= 1e-9 * std::max(1.0, std::fabs(held[k])));
  }
  restoreState(*figure, start);
  return 0;
}
