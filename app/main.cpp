#include <FL/Fl.H>

#include <iostream>

#include "app/AppWindow.h"
#include "app/CommandLine.h"
#include "app/TerminationSignals.h"
#include "document/RecoveryCopy.h"
#include "document/PoseDocument.h"
#include "humanoid/Humanoid.h"
#include "pose/BvhWriter.h"

namespace {

// FILE's pose as BVH on standard output; a refusal as one line on standard
// error. Needs no display, and leaves recovery copies alone.
int writeBvh(const CommandLine& line) {
  PoseDocument document(buildHumanoid());
  const Outcome opened = document.open(*line.file, line.frame);
  const bvh::Writing writing = opened.refused ? bvh::Writing{} : bvh::write(document.figure());
  const std::string error = opened.refused ? opened.words : writing.error;
  if (!error.empty()) {
    std::cerr << "mannequin: " << error << std::endl;
    return 1;
  }
  std::cout << writing.text << std::flush;
  return std::cout ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLine line = parseCommandLine(argc, argv);
  if (!line.error.empty() && line.action != CommandLine::Action::Help && line.action != CommandLine::Action::Version) {
    std::cerr << "mannequin: " << line.error << std::endl;
    return 2;
  }
  switch (line.action) {
    case CommandLine::Action::Help:
      std::cout << usage();
      return 0;
    case CommandLine::Action::Version:
      std::cout << "mannequin " MANNEQUIN_VERSION "\n";
      return 0;
    case CommandLine::Action::WriteBvh:
      return writeBvh(line);
    case CommandLine::Action::Run:
      break;
  }
  PoseDocument document(buildHumanoid());
  RecoveryCopy recovery(RecoveryCopy::folder());
  document.onChange([&recovery](const PoseDocument& changed) { recovery.keep(changed); });
  AppWindow app(document);
  Fl::visual(FL_DOUBLE);
  Outcome started = recovery.recoverInto(document, line.file);
  if (started.words.empty() && line.file) started = document.open(*line.file, line.frame);
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
