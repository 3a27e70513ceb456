// A libFuzzer target for the pose a picture carries: any bytes at all, read
// as a PNG file. Every input must end as a refusal of one line with no text,
// or as a text within a pose's size that the input holds, plain or
// compressed, under our keyword;
// pasted, it applies or is refused with the figure untouched.
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_check.h"
#include "humanoid/Humanoid.h"
#include "pose/FigureState.h"
#include "pose/PosePicture.h"
#include "pose/PoseText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::unique_ptr<Figure> figure = buildHumanoid();
  static const FigureState start = saveState(*figure);

  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::istringstream in(bytes);
  const pose_picture::Reading reading = pose_picture::read(in);
  if (!reading.error.empty()) {
    check(reading.error.find('\n') == std::string::npos);
    check(reading.text.empty());
    return 0;
  }
  check(reading.text.size() <= pose_text::kSizeLimit);
  // A plain text is in the input as it is; a compressed one came from a zTXt or iTXt chunk.
  check(bytes.find(reading.text) != std::string::npos ||
        bytes.find("TXt" + std::string(pose_picture::kKeyword)) != std::string::npos);

  pose_text::Pasting pasting = pose_text::paste(*figure, reading.text, false);
  if (!pasting.error.empty()) {
    check(pasting.error.find('\n') == std::string::npos);
    check(saveState(*figure) == start);
    return 0;
  }
  restoreState(*figure, start);
  return 0;
}
