#include <FL/Fl.H>

#include <iostream>

#include "app/AppWindow.h"
#include "app/CommandLine.h"
#include "app/TerminationSignals.h"
#include "document/RecoveryCopy.h"
#include "document/PoseDocument.h"
#include "humanoid/Humanoid.h"

int main(int argc, char** argv) {
  const CommandLine line = parseCommandLine(argc, argv);
  switch (line.action) {
    case CommandLine::Action::Help:
      std::cout << usage();
      return 0;
    case CommandLine::Action::Version:
      std::cout << "mannequin " MANNEQUIN_VERSION "\n";
      return 0;
    case CommandLine::Action::Run:
      break;
  }
  PoseDocument document(buildHumanoid());
  RecoveryCopy recovery(RecoveryCopy::folder());
  document.onChange([&recovery](const PoseDocument& changed) { recovery.keep(changed); });
  AppWindow app(document);
  Fl::visual(FL_DOUBLE);
  Outcome started = recovery.recoverInto(document, line.file);
  if (started.words.empty() && line.file) started = document.open(*line.file);
  if (started.refused) std::cerr << "mannequin: " << started.words << std::endl;
  app.view->say(started.words);
  // A logout or a closed terminal keeps the pose as it is, a drag included.
  const TerminationSignals signals([&] {
    document.endDrag();
    recovery.abandon();
  });
  app.show();
  return Fl::run();
}
