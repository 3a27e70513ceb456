// A libFuzzer target for the pose library's reading of a picture: any bytes
// at all, as a PNG file in a folder. The folder lists it or not, and its
// thumbnail is decoded or refused with one line: when decoded, it is at most
// the kept size a side, with every pixel there; when it is listed whole, its
// pose reads on the figure.
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "fuzz_check.h"
#include "humanoid/Humanoid.h"
#include "pose/PoseLibrary.h"
#include "pose/PosePicture.h"
#include "pose/PoseText.h"
#include "pose/ThumbnailCache.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::unique_ptr<Figure> figure = buildHumanoid();
  static const std::filesystem::path folder = [] {
    const std::filesystem::path made = "/tmp/mannequin-thumbnail-fuzz-" + std::to_string(getpid());
    std::filesystem::create_directories(made);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all("/tmp/mannequin-thumbnail-fuzz-" + std::to_string(getpid()), ignored);
    });
    return made;
  }();
  const std::filesystem::path path = folder / "picture.png";
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), size);

  const std::vector<pose_library::Entry> entries = pose_library::list(*figure, folder, true);
  check(entries.size() <= 1);
  if (entries.size() == 1) {
    check(entries[0].name == "picture" && entries[0].group.empty());
    check(entries[0].broken.find('\n') == std::string::npos);
    std::ifstream in(path, std::ios::binary);
    const pose_picture::Reading reading = pose_picture::read(in);
    check(entries[0].broken.empty() == (reading.error.empty() && pose_text::read(*figure, reading.text).error.empty()));
  }

  ThumbnailCache cache;
  const ThumbnailCache::Thumbnail& thumbnail = cache.get(path);
  if (!thumbnail.error.empty()) {
    check(thumbnail.rgba.empty() && thumbnail.error.find('\n') == std::string::npos);
    return 0;
  }
  check(thumbnail.width >= 1 && thumbnail.width <= ThumbnailCache::kKeptSide);
  check(thumbnail.height >= 1 && thumbnail.height <= ThumbnailCache::kKeptSide);
  check(thumbnail.rgba.size() == std::size_t(thumbnail.width) * thumbnail.height * 4);
  return 0;
}
