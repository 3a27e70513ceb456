#include <FL/Fl.H>

#include <iostream>

#include "app/AppWindow.h"
#include "app/CommandLine.h"
#include "app/Scene.h"

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
  Scene scene;
  AppWindow app(&scene);
  Fl::visual(FL_DOUBLE);
  if (!line.file.empty()) app.view->openAtStart(line.file);
  app.show();
  return Fl::run();
}
