#pragma once

#include <optional>
#include <string>

#include "pose/BodyPart.h"
#include "view/PictureOptions.h"
#include "view/ViewFraming.h"

// What the command line asks for. Parsed before anything needs a display, so
// that --help and --version work without one. Any other argument that starts
// with '-' is ignored, as every argument was before there were any to take,
// and so are the names after the first.
struct CommandLine {
  // WriteBvh: FILE's pose as BVH on standard output, with no display.
  // WritePng: FILE's pose as a picture, drawn in a window, then exit.
  // PrintPose: FILE's pose as the pose text on standard output, with no display.
  enum class Action { Run, Help, Version, WriteBvh, WritePng, PrintPose };
  Action action = Action::Run;
  std::optional<std::string> file;  // to open at start-up; the empty name is a name too
  int frame = 1;                    // of a BVH FILE, from 1
  bool frameAsked = false;          // --frame given: no frame chooser
  std::string rig;                  // of WriteBvh: "cmu", "mixamo", or empty for the figure's own
  std::string error;                // one line when the options cannot be taken

  // The picture of WritePng: its file, the camera (the start camera when
  // none), its size as a scale of the window's view or a width, and its
  // background.
  std::string picture;
  bool pictureAsked = false;  // any of the picture's options given: refusals exit with 1
  std::optional<ViewSide> view;
  int scale = 1;
  int width = 0;
  PictureOptions::Background background = PictureOptions::Background::Black;
  // --thumbnail: the library's picture instead, square, from the front, transparent.
  bool thumbnail = false;

  // Of PrintPose: another pose file applied over FILE's pose, to a part of
  // the body, mirrored or not, by an amount from 0 to 1.
  std::string applied;
  BodyPart part = BodyPart::Whole;
  bool mirrored = false;
  double amount = 1.0;
  bool applyAsked = false;  // any of the apply's options given: refusals exit with 1
  PictureOptions::Style style = PictureOptions::Style::Plain;
  bool references = false;  // --references: the view's reference picture behind the figure
};

// The view's size the pictures of --png are drawn at, whatever the window's.
inline constexpr int kPictureWidth = 690;
inline constexpr int kPictureHeight = 665;

CommandLine parseCommandLine(int argc, const char* const* argv);

// mannequin [FILE], with the options, one per line.
std::string usage();
