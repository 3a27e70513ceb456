#include <FL/Fl.H>

#include <iostream>

#include "app/AppWindow.h"
#include "app/CommandLine.h"
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
  AppWindow app(document);
  Fl::visual(FL_DOUBLE);
  if (line.file) {
    const Outcome opened = document.open(*line.file);
    if (opened.refused) std::cerr << "mannequin: " << opened.words << std::endl;
    app.view->say(opened.words);
  }
  app.show();
  return Fl::run();
}
