#include <FL/Fl.H>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>

#include "app/AppWindow.h"
#include "app/CommandLine.h"
#include "app/PngTarget.h"
#include "app/TerminationSignals.h"
#include "app/XConnectionLoss.h"
#include "document/RecoveryCopy.h"
#include "pose/ShownText.h"
#include "document/PoseDocument.h"
#include "humanoid/Humanoid.h"
#include "pose/BvhWriter.h"
#include "pose/PoseFile.h"
#include "pose/PoseText.h"
#include "pose/RigWriter.h"
#include "view/PictureOptions.h"
#include "view/ViewFraming.h"

// Last: Xlib defines macros such as None and Bool.
#include <X11/Xlib.h>

namespace {

// What was put on standard output, flushed; a failure to write it (a full
// disk) is a refusal, said in one line.
int written() {
  if (std::cout.flush()) return 0;
  std::cerr << "mannequin: standard output: " << std::strerror(errno) << std::endl;
  return 1;
}

// FILE's pose as BVH on standard output; a refusal as one line on standard
// error. Needs no display, and leaves recovery copies alone.
int writeBvh(const CommandLine& line) {
  PoseDocument document(buildHumanoid());
  const Outcome opened = document.open(*line.file, line.frame);
  const std::optional<rig::Family> family = rig::familyNamed(line.rig);
  const bvh::Writing writing = opened.refused ? bvh::Writing{}
                               : family        ? rig::write(document.figure(), *family)
                                               : bvh::write(document.figure());
  const std::string error = opened.refused ? opened.words : writing.error;
  if (!error.empty()) {
    std::cerr << "mannequin: " << error << std::endl;
    return 1;
  }
  std::cout << writing.text;
  return written();
}

// FILE's pose as the pose text Ctrl+C copies, on standard output; a
// refusal as one line on standard error. Needs no display.
int printPose(const CommandLine& line) {
  PoseDocument document(buildHumanoid());
  const Outcome opened = document.open(*line.file, line.frame);
  if (opened.refused) {
    std::cerr << "mannequin: " << opened.words << std::endl;
    return 1;
  }
  if (!line.applied.empty()) {
    const PoseDocument::PoseReading other = document.readPose(line.applied);
    Outcome applied = other.refusal;
    if (!applied.refused) applied = document.previewApply(other.pose, {line.part, line.mirrored, line.amount});
    if (applied.refused) {
      std::cerr << "mannequin: " << applied.words << std::endl;
      return 1;
    }
    document.keepPreview("applied", false);
  }
  std::cout << pose_text::write(document.figure());
  return written();
}

int refuse(const std::string& words) {
  std::cerr << "mannequin: " << words << std::endl;
  // Said once: the display's loss after this adds nothing.
  x_connection_loss::done(1);
  return 1;
}

// The toolkit ends the program with a message of its own without a display.
bool displayOpens() {
  Display* display = XOpenDisplay(nullptr);
  if (display) XCloseDisplay(display);
  return display != nullptr;
}

// FILE's pose drawn as Ctrl+E would into the picture the options ask for,
// whatever size the window gets: the view's frame and camera are those of a
// 690 x 665 view. Leaves recovery copies alone.
int writePng(const CommandLine& line) {
  // A picture is no pose file or motion, and never replaces what it draws.
  const std::string out = pictureFileName(line.picture);
  if (pose_file::hasExtension(out, ".pose") || pose_file::hasExtension(out, ".bvh")) {
    return refuse("--png: " + shownName(out) + ": a picture is not written as a pose or BVH file");
  }
  if (pose_file::sameFile(out, *line.file)) return refuse("--png: " + shownName(out) + ": it is the file drawn");
  if (std::string target = pngTargetRefusal(line.picture); !target.empty()) return refuse(target);
  PoseDocument document(buildHumanoid());
  if (const Outcome opened = document.open(*line.file, line.frame); opened.refused) return refuse(opened.words);
  if (!displayOpens()) return refuse("--png draws in a window and needs a display (DISPLAY=" +
                                     std::string(getenv("DISPLAY") ? getenv("DISPLAY") : "") + ")");
  PictureOptions options;
  options.size = line.width ? PictureOptions::Size::Width : PictureOptions::Size::View;
  options.width = line.width;
  options.background = line.background;
  options.style = line.style;
  options.references = line.references;
  const int viewWidth = kPictureWidth * line.scale, viewHeight = kPictureHeight * line.scale;
  if (const PictureSize size = pictureSize(options, viewWidth, viewHeight); !size.refusal.empty()) {
    return refuse(size.refusal);
  }
  x_connection_loss::watch("--png: the connection to the display was lost; no picture was written");
  Fl::visual(FL_DOUBLE);
  AppWindow app(document);
  GLView& view = *app.view;
  // The file's own camera; or, for a file without one, the whole figure
  // from the start camera's direction.
  const double aspect = double(kPictureWidth) / kPictureHeight;
  if (!view.takeBroughtView()) fitFigure(*view.camera, document.figure(), aspect);
  if (line.view) lookFrom(*view.camera, *line.view, document.figure(), aspect);
  app.show();
  // A window manager may keep the window from view: give up after a while.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (view.framesDrawn() == 0 && app.window->shown() && std::chrono::steady_clock::now() < deadline) {
    Fl::flush();
    Fl::wait(0.05);
  }
  if (view.framesDrawn() == 0) return refuse("--png: the window was never drawn");
  const Outcome written = line.thumbnail ? document.exportPicture(out, view.thumbnailPng())
                                         : view.exportPicture(out, options, viewWidth, viewHeight);
  if (written.refused) return refuse(written.words);
  x_connection_loss::done(0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLine line = parseCommandLine(argc, argv);
  if (!line.error.empty() && line.action != CommandLine::Action::Help && line.action != CommandLine::Action::Version) {
    std::cerr << "mannequin: " << line.error << std::endl;
    return line.pictureAsked || line.applyAsked || line.action == CommandLine::Action::PrintPose || !line.rig.empty()
               ? 1
               : 2;
  }
  switch (line.action) {
    case CommandLine::Action::Help:
      std::cout << usage();
      return written();
    case CommandLine::Action::Version:
      std::cout << "mannequin " MANNEQUIN_VERSION "\n";
      return written();
    case CommandLine::Action::WriteBvh:
      return writeBvh(line);
    case CommandLine::Action::WritePng:
      return writePng(line);
    case CommandLine::Action::PrintPose:
      return printPose(line);
    case CommandLine::Action::Run:
      break;
  }
  PoseDocument document(buildHumanoid());
  RecoveryCopy recovery(RecoveryCopy::folder());
  document.onChange([&recovery](const PoseDocument& changed) { recovery.keep(changed); });
  AppWindow app(document);
  Fl::visual(FL_DOUBLE);
  Outcome started = recovery.recoverInto(document, line.file);
  // A capture's frame is chosen in a window, over the figure once it shows.
  const bool choose = started.words.empty() && line.file && !line.frameAsked && PoseDocument::isMotion(*line.file);
  if (started.words.empty() && line.file && !choose) started = document.open(*line.file, line.frame);
  if (started.refused) std::cerr << "mannequin: " << started.words << std::endl;
  app.view->say(started.words);
  // What the copies could not do, said at start (held until now) and later.
  recovery.onReport([&app](const Outcome& outcome) { app.view->warn(outcome); });
  // A logout or a closed terminal keeps the pose as it is, a drag included;
  // so does the display's loss.
  const auto keepThePose = [&] {
    document.settle();
    recovery.abandon();
  };
  const TerminationSignals signals(keepThePose);
  x_connection_loss::keepBeforeLoss(keepThePose);
  app.show();
  if (choose) {
    while (app.view->framesDrawn() == 0 && app.window->shown()) Fl::wait(0.05);
    const Outcome chosen = app.view->openFile(*line.file);
    if (chosen.refused) std::cerr << "mannequin: " << chosen.words << std::endl;
    app.view->say(chosen.words);
  }
  const int status = Fl::run();
  x_connection_loss::keepBeforeLoss(nullptr);
  return status;
}
