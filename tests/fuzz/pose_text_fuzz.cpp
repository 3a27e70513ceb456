// A libFuzzer target for the pose text a paste receives, and a pose file's
// version 2 with its camera and pictures: any bytes at all.
// Every input must end as a rejection with one line that says why, the
// figure untouched, or as a pose that applies with finite positions and
// whose copy pastes back exactly: the same text, the same state.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "humanoid/Humanoid.h"
#include "pose/FigureState.h"
#include "pose/PoseFileText.h"
#include "pose/PoseText.h"

namespace {

// The humanoid with two handles, as a session might hold it.
struct Session {
  Session() : figure(buildHumanoid()) {
    for (const char* name : {"h_hand_left", "h_foot_right"}) {
      Segment* s = figure->findSegment(name);
      records.push_back(std::make_unique<Handle>(s->endOffset.x, s->endOffset.y, s->endOffset.z));
      figure->addHandle(records.back().get(), s);
    }
    figure->updateHandlePositions();
    start = saveState(*figure);
  }

  std::unique_ptr<Figure> figure;
  std::vector<std::unique_ptr<Handle>> records;
  FigureState start;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Session session;
  Figure& figure = *session.figure;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // As a pose file: refused in one line, or a view that writes and reads
  // back as it was.
  const pose_file_text::Reading file = pose_file_text::read(figure, text, "/poses");
  check(file.error.find('\n') == std::string::npos);
  if (file.error.empty() && file.view) {
    const pose_file_text::Reading again =
        pose_file_text::read(figure, pose_file_text::write(figure, *file.view, "/poses"), "/poses");
    check(again.error.empty() && again.view && *again.view == *file.view);
  }

  // Odd sizes paste mirrored, as the other key does.
  pose_text::Pasting pasting = pose_text::paste(figure, text, size % 2);
  if (!pasting.error.empty()) {
    check(pasting.error.find('\n') == std::string::npos);
    check(pasting.records.empty());
    check(saveState(figure) == session.start);
    return 0;
  }
  for (const HandleEntry& e : figure.handles) {
    check(std::isfinite(e.handle->worldPos.x) && std::isfinite(e.handle->worldPos.y) &&
          std::isfinite(e.handle->worldPos.z));
  }
  check(figure.handleCount() == static_cast<int>(pasting.records.size()));
  // Copy, paste and copy again: the same text, and nothing changed at all.
  const std::string copied = pose_text::write(figure);
  const FigureState pasted = saveState(figure);
  pose_text::Pasting again = pose_text::paste(figure, copied, false);
  check(again.error.empty());
  check(pose_text::write(figure) == copied);
  check(saveState(figure) == pasted);

  session.records = restoreState(figure, session.start);
  return 0;
}
