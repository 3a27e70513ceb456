// The poses that come with the program: each opens, is written exactly as
// the program writes it, keeps every hinge within its limits, carries no
// handles, rests on the floor, and differs clearly from every other.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "document/PoseDocument.h"
#include "figure/ParamKinds.h"
#include "humanoid/Humanoid.h"
#include "pose/PoseText.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

struct LibraryPose {
  std::string name;
  std::string path;
  std::string text;
};

std::vector<LibraryPose> library() {
  std::vector<LibraryPose> poses;
  for (const fs::directory_entry& entry : fs::directory_iterator(MANNEQUIN_POSES)) {
    if (entry.path().extension() != ".pose") continue;
    poses.push_back(
        {entry.path().stem().string(), entry.path().string(), TempFolder::contents(entry.path())});
  }
  std::sort(poses.begin(), poses.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return poses;
}

// The figure as the program leaves it after opening the file.
std::unique_ptr<PoseDocument> opened(const LibraryPose& pose) {
  auto document = std::make_unique<PoseDocument>(buildHumanoid());
  const Outcome outcome = document->open(pose.path);
  EXPECT_FALSE(outcome.refused) << pose.name << ": " << outcome.words;
  return document;
}

// The largest difference between two poses' joints, in radians: the angle
// between two quaternions' rotations, the difference of two hinge angles.
double largestDifference(const Figure& figure, const Pose& a, const Pose& b) {
  double largest = 0;
  const std::vector<Segment*> segments = figure.segments();
  for (size_t s = 0; s < segments.size(); ++s) {
    const std::vector<ParamKind> kinds = paramKinds(*segments[s]->joint);
    const std::vector<double>& p = a.params[s];
    const std::vector<double>& q = b.params[s];
    for (size_t k = 0; k < kinds.size(); ++k) {
      if (kinds[k] == ParamKind::QuatX) {
        const double dot = p[k] * q[k] + p[k + 1] * q[k + 1] + p[k + 2] * q[k + 2] + p[k + 3] * q[k + 3];
        largest = std::max(largest, 2 * std::acos(std::min(1.0, std::fabs(dot))));
      } else if (kinds[k] == ParamKind::AngleX || kinds[k] == ParamKind::AngleY ||
                 kinds[k] == ParamKind::AngleZ) {
        largest = std::max(largest, std::fabs(p[k] - q[k]));
      }
    }
  }
  return largest;
}

TEST(PoseLibrary, HoldsAtLeast24PosesNamedInLowercaseWords) {
  const std::vector<LibraryPose> poses = library();
  EXPECT_GE(poses.size(), 24u);
  for (const LibraryPose& pose : poses) {
    // Lowercase words joined by single hyphens.
    const bool words = !pose.name.empty() && pose.name.front() != '-' && pose.name.back() != '-' &&
                       pose.name.find("--") == std::string::npos &&
                       std::all_of(pose.name.begin(), pose.name.end(), [](char c) { return c == '-' || (c >= 'a' && c <= 'z'); });
    EXPECT_TRUE(words) << pose.name;
  }
}

// Standing, sitting, kneeling or lying, the body touches the floor (y = 0)
// and nowhere goes below it; only the jump is in the air.
TEST(PoseLibrary, EveryPoseOpensAsWrittenWithoutHandlesAndRestsOnTheFloorButTheJump) {
  for (const LibraryPose& pose : library()) {
    const auto document = opened(pose);
    EXPECT_EQ(pose_text::write(document->figure()), pose.text) << pose.name;
    EXPECT_EQ(document->figure().handleCount(), 0) << pose.name;
    const double lowest = -document->figure().reach(Vec3(0, -1, 0));
    if (pose.name == "jumping") {
      EXPECT_GT(lowest, 0.1);
    } else {
      EXPECT_NEAR(lowest, 0.0, 1e-4) << pose.name;
    }
  }
}

// Every segment the text turns beyond its limits: the figure, its limits
// on, holds it elsewhere.
std::vector<std::string> beyondLimits(const std::string& text) {
  auto figure = buildHumanoid();
  figure->limitsEnabled = true;
  const pose_text::Reading reading = pose_text::read(*figure, text);
  EXPECT_EQ(reading.error, "");
  applyPose(*figure, reading.pose);
  const Pose held = currentPose(*figure);
  std::vector<std::string> beyond;
  for (size_t s = 0; s < held.params.size() && reading.error.empty(); ++s) {
    for (size_t k = 0; k < held.params[s].size(); ++k) {
      if (std::fabs(held.params[s][k] - reading.pose.params[s][k]) > 1e-9)
        beyond.push_back(figure->segments()[s]->name);
    }
  }
  return beyond;
}

// A single hinge (a knee, a wrist) is not held at its limits when the
// limits are off, as they are when a file opens: the file itself must keep
// within them.
TEST(PoseLibrary, EveryHingeIsWithinItsLimitsAsWritten) {
  for (const LibraryPose& pose : library()) {
    EXPECT_EQ(beyondLimits(pose.text), std::vector<std::string>()) << pose.name;
  }
  // The knee's limits are 0 and 1.57, each found on its side.
  const std::string text = library().front().text;
  const std::size_t line = text.find("h_shin_left ");
  const std::size_t end = text.find('\n', line);
  const auto knee = [&](const std::string& value) { return text.substr(0, line) + "h_shin_left " + value + text.substr(end); };
  const std::vector<std::string> shin{"h_shin_left"}, none;
  EXPECT_EQ(beyondLimits(knee("-0.001")), shin);
  EXPECT_EQ(beyondLimits(knee("0")), none);
  EXPECT_EQ(beyondLimits(knee("1.57")), none);
  EXPECT_EQ(beyondLimits(knee("1.571")), shin);
}

// Any two differ by more than 30 degrees in some joint: enough to see.
TEST(PoseLibrary, NoTwoPosesAreAlike) {
  const auto figure = buildHumanoid();
  const std::vector<LibraryPose> poses = library();
  std::vector<Pose> read;
  for (const LibraryPose& pose : poses) read.push_back(pose_text::read(*figure, pose.text).pose);
  const double kDegree = M_PI / 180;
  for (size_t i = 0; i < poses.size(); ++i) {
    for (size_t j = i + 1; j < poses.size(); ++j) {
      EXPECT_GT(largestDifference(*figure, read[i], read[j]), 30 * kDegree)
          << poses[i].name << " and " << poses[j].name;
    }
  }
}

}  // namespace
