#pragma once

#include <string>

#include "pose/Capture.h"
#include "pose/Pose.h"
#include "pose/Rotation3d.h"

// One frame of a capture as a pose of the figure's. On the figure's own
// skeleton the frame is read exactly as bvh::read reads it. On any other,
// every limb the capture has (thighs, shins, feet, upper arms, forearms,
// hands, the trunk from the hips to the neck's base, the head) points where
// the capture's does, each limb turned about itself so that the hinge below
// it bends in the capture's plane; every joint within the figure's limits,
// whatever its switch, as close to the capture's as they allow. Scaled by the
// legs' length, facing as the hips do, the root above the origin at the
// hips' height. Prints nothing; the person's handles play no part.
namespace capture {

struct Fitting {
  Pose pose;          // every segment's parameters, no pins
  std::string error;  // one line when the frame cannot be fitted
};

// frame counts from 1.
Fitting fit(const Figure& figure, const Capture& capture, long frame);

// Where the capture's joints are in a frame, and how each is turned, in the
// file's units: the forward kinematics the fit starts from.
struct Placement {
  std::vector<Dir3> points;           // by joint
  std::vector<Rotation3d> rotations;  // by joint, from the rest pose
};
Placement place(const Capture& capture, long frame);

}  // namespace capture
