// Writes BVH files for other programs' readers to check, each beside the
// joint positions they must find (NAME.bvh, NAME.json): the humanoid at the
// start, posed at random, and generated figures that BVH can hold, posed at
// random; and each posed humanoid on the CMU and Mixamo rigs, beside the
// figure's joints their joints must stand at. The seed alone decides them.
// Usage: bvh_write_cases FOLDER SEED [RANDOM-FIGURES]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "bvh_cases.h"
#include "humanoid/Humanoid.h"
#include "pose/BvhWriter.h"
#include "pose/RigWriter.h"
#include "random_figure.h"

namespace {

bool writeCase(const std::string& folder, const std::string& name, const Figure& figure) {
  const bvh::Writing writing = bvh::write(figure);
  if (!writing.error.empty()) {
    std::fprintf(stderr, "%s: %s\n", name.c_str(), writing.error.c_str());
    return false;
  }
  std::ofstream(folder + "/" + name + ".bvh") << writing.text;
  std::ofstream json(folder + "/" + name + ".json");
  json << bvh_cases::expectedPositions(figure);
  return static_cast<bool>(json);
}

// The figure's pose on a rig's skeleton (NAME.bvh), beside the figure's own
// export it must agree with and the joints that must (NAME.json).
bool writeRigCase(const std::string& folder, const std::string& name, const std::string& own, const Figure& figure,
                  rig::Family family) {
  const bvh::Writing writing = rig::write(figure, family);
  if (!writing.error.empty()) {
    std::fprintf(stderr, "%s: %s\n", name.c_str(), writing.error.c_str());
    return false;
  }
  std::ofstream(folder + "/" + name + ".bvh") << writing.text;
  std::ofstream json(folder + "/" + name + ".json");
  json << "{\"rig\": \"" << own << ".bvh\", \"pairs\": [";
  const int column = family == rig::Family::Cmu ? 0 : 1;
  for (const auto& mapped : bvh_cases::kRigJoints) {
    json << (&mapped == &bvh_cases::kRigJoints[0] ? "" : ", ") << "[\"" << mapped[column] << "\", \""
         << mapped[2] << "\"]";
  }
  json << "]}\n";
  return static_cast<bool>(json);
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
    ok = writeCase(folder, "humanoid_posed_" + std::to_string(i), *humanoid) && ok;
    const std::string own = "humanoid_posed_" + std::to_string(i);
    ok = writeRigCase(folder, "rig_cmu_" + std::to_string(i), own, *humanoid, rig::Family::Cmu) && ok;
    ok = writeRigCase(folder, "rig_mixamo_" + std::to_string(i), own, *humanoid, rig::Family::Mixamo) && ok;
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
