#include "view/ViewKeeper.h"

#include "document/PoseDocument.h"
#include "view/OrbitCamera.h"
#include "view/ReferenceCommands.h"

ViewKeeper::ViewKeeper(OrbitCamera& camera_, PoseDocument& document_, std::function<void(const Outcome&)> report_)
    : camera(camera_), document(document_), report(std::move(report_)) {}

bool ViewKeeper::takeBrought() {
  if (taken == document.viewsBrought() || !document.viewState()) return false;
  taken = document.viewsBrought();
  camera.take(*document.viewState(), document.figure().front);
  if (const std::string refused = pictures.follow(*document.viewState()); !refused.empty())
    report(Outcome::refusal(refused));
  return true;
}

void ViewKeeper::keep() {
  takeBrought();
  ViewState state = document.viewState().value_or(ViewState{});
  camera.store(state);
  if (state != document.viewState()) document.keepViewState(state);
}

void ViewKeeper::drawPicture(double aspect) {
  if (document.viewState()) pictures.draw(*document.viewState(), camera.view, aspect, camera.fieldOfView);
}

bool ViewKeeper::run(Command command, const std::function<std::string()>& ask) {
  Outcome outcome;
  if (!runReferenceCommand(command, document, pictures, camera.view, ask, outcome)) return false;
  report(outcome);
  return true;
}
