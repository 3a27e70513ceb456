#include <benchmark/benchmark.h>
#include <png.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "document/PoseDocument.h"
#include "humanoid/Humanoid.h"
#include "pose/PoseLibrary.h"
#include "pose/PoseText.h"
#include "pose/ThumbnailCache.h"

namespace {

namespace fs = std::filesystem;

// A pose other than the start: every quaternion joint turned a little.
Pose turnedPose(const Figure& figure) {
  Pose pose = currentPose(figure);
  for (std::vector<double>& values : pose.params) {
    if (values.size() == 4) values = {0.1, 0.2, -0.1, std::sqrt(1 - 0.06)};
  }
  return pose;
}

// An apply previewed as a choice changes, over a pose with five handles:
// the amount moves as a slider would, between the whole body and an arm.
void BM_ApplyPreview(benchmark::State& state) {
  PoseDocument document(buildHumanoid());
  for (const char* name : {"h_hand_left", "h_hand_right", "h_foot_left", "h_foot_right", "h_head"}) {
    document.pin(document.figure().findSegment(name), Vec3());
  }
  const Pose other = turnedPose(document.figure());
  int step = 0;
  for (auto _ : state) {
    const ApplyChoice choice{step % 2 ? BodyPart::Whole : BodyPart::LeftArm, step % 3 == 0, (step % 100) / 100.0};
    benchmark::DoNotOptimize(document.previewApply(other, choice));
    ++step;
  }
  document.dropPreview();
}

// A thumbnail as the library holds it: 256 x 256 RGBA, a figure-like blot on
// transparency, carrying a pose.
void writeThumbnail(const fs::path& path, const std::string& pose) {
  FILE* file = std::fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_set_IHDR(png, info, 256, 256, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_text text{};
  text.compression = PNG_TEXT_COMPRESSION_NONE;
  text.key = const_cast<char*>("mannequin pose");
  text.text = const_cast<char*>(pose.c_str());
  png_set_text(png, info, &text, 1);
  png_write_info(png, info);
  std::vector<unsigned char> row(256 * 4);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const bool body = std::abs(x - 128) < 20 + 10 * std::sin(y * 0.1) && y > 20 && y < 240;
      const unsigned char shade = static_cast<unsigned char>(body ? 100 + (x * 3 + y) % 120 : 0);
      row[4 * x] = shade, row[4 * x + 1] = 0, row[4 * x + 2] = shade, row[4 * x + 3] = body ? 255 : 0;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

// A folder of 500 pictures listed, and the 24 that a window shows first decoded.
void BM_ListShelf(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const fs::path folder = fs::temp_directory_path() / ("mannequin-bench-" + std::to_string(getpid()));
  fs::create_directories(folder / "group");
  const std::string pose = pose_text::write(*buildHumanoid());
  for (int i = 0; i < count; ++i) {
    writeThumbnail(folder / (i % 5 ? "" : "group") / ("pose-" + std::to_string(i) + ".png"), pose);
  }
  const std::unique_ptr<Figure> figure = buildHumanoid();
  for (auto _ : state) {
    const std::vector<pose_library::Entry> entries = pose_library::list(*figure, folder, true);
    ThumbnailCache cache;
    for (std::size_t i = 0; i < entries.size() && i < 24; ++i) benchmark::DoNotOptimize(cache.get(entries[i].path));
    if (entries.size() != static_cast<std::size_t>(count)) state.SkipWithError("not every picture was listed");
  }
  fs::remove_all(folder);
}

}  // namespace

BENCHMARK(BM_ApplyPreview)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListShelf)->Arg(500)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
