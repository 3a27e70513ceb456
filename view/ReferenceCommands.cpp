#include "view/ReferenceCommands.h"

#include <cmath>
#include <filesystem>

#include "document/PoseDocument.h"
#include "pose/ShownText.h"
#include "view/ReferencePictures.h"

namespace {

std::string viewWords(int view) {
  return view == ViewState::kFree ? "the free camera" : std::string("the ") + ViewState::kNames[view] + " view";
}

Outcome choose(ViewState& state, ReferencePictures& pictures, int view, const std::string& chosen) {
  if (chosen.empty()) return {};
  std::error_code error;
  const std::filesystem::path whole = std::filesystem::absolute(chosen, error);
  const std::string path = error ? chosen : whole.lexically_normal().string();
  if (std::string refused = pictures.choose(view, path); !refused.empty()) return Outcome::refusal(refused);
  ReferencePicture picture;
  picture.path = path;
  state.pictures[view] = picture;
  state.picturesShown = true;
  return Outcome::said("reference picture " + shownName(std::filesystem::path(path).filename().string()) +
                       " for " + viewWords(view));
}

// What a change to the view's picture says.
Outcome changed(const ReferencePicture& p, Command command) {
  switch (command) {
    case Command::FainterReference:
    case Command::StrongerReference:
      return Outcome::said("reference picture " + std::to_string(p.opacity) + "% opaque");
    case Command::LargerReference:
    case Command::SmallerReference:
      return Outcome::said("reference picture " + std::to_string(int(std::lround(p.size * 100))) +
                           "% of the view's height");
    default:
      return Outcome::said("reference picture at " + std::to_string(int(std::lround(p.x * 100))) + "%, " +
                           std::to_string(int(std::lround(p.y * 100))) + "% of the view");
  }
}

}  // namespace

bool runReferenceCommand(Command command, PoseDocument& document, ReferencePictures& pictures, int view,
                         const std::function<std::string()>& ask, Outcome& outcome) {
  if (command < Command::ChooseReference || command > Command::SmallerReference) return false;
  ViewState state = document.viewState().value_or(ViewState{});
  std::optional<ReferencePicture>& picture = state.pictures[view];
  switch (command) {
    case Command::ChooseReference:
      outcome = choose(state, pictures, view, ask());
      break;
    case Command::ToggleReferences:
      state.picturesShown = !state.picturesShown;
      outcome = Outcome::said(state.picturesShown ? "reference pictures shown" : "reference pictures hidden");
      break;
    default:
      if (!picture) {
        outcome = Outcome::said("no reference picture for " + viewWords(view));
      } else if (command == Command::RemoveReference) {
        picture.reset();
        outcome = Outcome::said("reference picture removed from " + viewWords(view));
      } else {
        const int steps[] = {-1, 1, -1, 1, 1, -1, 1, -1};  // in the commands' order from FainterReference
        const int step = steps[int(command) - int(Command::FainterReference)];
        if (command <= Command::StrongerReference) picture->changeOpacity(step);
        if (command == Command::ReferenceLeft || command == Command::ReferenceRight) picture->moveBy(step, 0);
        if (command == Command::ReferenceUp || command == Command::ReferenceDown) picture->moveBy(0, step);
        if (command >= Command::LargerReference) picture->scaleBy(step);
        outcome = changed(*picture, command);
      }
  }
  document.keepViewState(state);
  return true;
}
