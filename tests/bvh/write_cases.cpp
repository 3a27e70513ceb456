// Writes BVH files for other programs' readers to check, each beside the
// joint positions they must find (NAME.bvh, NAME.json): the humanoid at the
// start, posed at random, and generated figures that BVH can hold, posed at
// random; and each posed humanoid on the CMU and Mixamo rigs, beside the
// figure's joints their joints must stand at. The seed alone decides them.
// Usage: bvh_write_cases FOLDER SEED [RANDOM-FIGURES]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "bvh_cases.h"
#include "humanoid/Humanoid.h"
#include "pose/BvhSkeleton.h"
#include "pose/BvhWriter.h"
#include "pose/RigWriter.h"
#include "random_figure.h"

namespace {

// {"joints": [{"name": ..., "origin": [x, y, z], "end": [x, y, z] or null},
// ...]}, one per joint of the export in its order: where the joint's frame
// begins in the world, and for a leaf where its segment ends; worked out
// from the figure's own frames, not from the file.
std::string expectedPositions(const Figure& figure) {
  const std::vector<Mat4> frames = bvh_cases::worldFrames(figure);
  std::ostringstream out;
  out.precision(17);
  const auto point = [&](const Vec3& p) { out << "[" << p.x << ", " << p.y << ", " << p.z << "]"; };
  out << "{\"joints\": [\n";
  const bvh::Skeleton skeleton = bvh::skeletonOf(figure);
  for (const bvh::Joint& joint : skeleton.joints) {
    const Mat4& world = frames[joint.segmentIndex];
    out << (&joint == &skeleton.joints[0] ? "" : ",\n") << "  {\"name\": \"" << joint.segment->name
        << "\", \"origin\": ";
    point(Vec3(world[3], world[7], world[11]));
    out << ", \"end\": ";
    if (joint.leaf) {
      point(transformPoint(world, joint.segment->endOffset));
    } else {
      out << "null";
    }
    out << "}";
  }
  out << "\n]}\n";
  return out.str();
}

// A rig's file names the figure's own export it must agree with, and the
// pairs of joints that must stand together.
std::string rigPairs(const std::string& own, rig::Family family) {
  std::string json = "{\"rig\": \"" + own + ".bvh\", \"pairs\": [";
  for (const auto& [cmu, segment] : bvh_cases::kRigJoints) {
    const std::string name = family == rig::Family::Cmu ? cmu : bvh_cases::mixamoName(cmu);
    json += std::string(json.back() == '[' ? "" : ", ") + "[\"" + name + "\", \"" + segment + "\"]";
  }
  return json + "]}\n";
}

bool writeCase(const std::string& folder, const std::string& name, const bvh::Writing& writing,
               const std::string& json) {
  if (!writing.error.empty()) {
    std::fprintf(stderr, "%s: %s\n", name.c_str(), writing.error.c_str());
    return false;
  }
  std::ofstream(folder + "/" + name + ".bvh") << writing.text;
  return static_cast<bool>(std::ofstream(folder + "/" + name + ".json") << json);
}

bool writeCase(const std::string& folder, const std::string& name, const Figure& figure) {
  return writeCase(folder, name, bvh::write(figure), expectedPositions(figure));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: %s FOLDER SEED [RANDOM-FIGURES]\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const unsigned long seed = std::strtoul(argv[2], nullptr, 10);
  const int wanted = argc > 3 ? std::atoi(argv[3]) : 6;
  std::printf("BVH cases of seed %lu in %s\n", seed, folder.c_str());
  std::mt19937 rng(static_cast<std::uint32_t>(seed));

  bool ok = writeCase(folder, "humanoid_start", *buildHumanoid());
  for (int i = 1; i <= 3; ++i) {
    auto humanoid = buildHumanoid();
    humanoid->limitsEnabled = true;
    bvh_cases::poseAtRandom(*humanoid, rng);
    const std::string own = "humanoid_posed_" + std::to_string(i);
    ok = writeCase(folder, own, *humanoid) && ok;
    for (const auto& [name, family] :
         {std::pair{"rig_cmu_", rig::Family::Cmu}, std::pair{"rig_mixamo_", rig::Family::Mixamo}}) {
      const std::string rigName = name + std::to_string(i);
      ok = writeCase(folder, rigName, rig::write(*humanoid, family), rigPairs(own, family)) && ok;
    }
  }
  // Generated figures, skipping those the format cannot hold.
  for (int made = 0, tries = 0; made < wanted && tries < 100000; ++tries) {
    RandomFigure r(static_cast<std::uint32_t>(rng()));
    bvh_cases::poseAtRandom(r.figure(), rng);
    if (!bvh::write(r.figure()).error.empty()) continue;
    ok = writeCase(folder, "random_" + std::to_string(++made), r.figure()) && ok;
  }
  return ok ? 0 : 1;
}
