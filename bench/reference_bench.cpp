#include <benchmark/benchmark.h>

#include <FL/Fl_Image.H>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "view/PngEncoding.h"
#include "view/ReferencePictures.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

// A picture with a photograph's detail: smooth shading and grain, which
// neither codec squeezes to nothing.
std::vector<unsigned char> photoLike() {
  std::vector<unsigned char> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
  std::mt19937 grain(1);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      unsigned char* p = &rgb[(static_cast<size_t>(y) * kWidth + x) * 3];
      const double shade = 0.5 + 0.5 * std::sin(x * 0.003) * std::cos(y * 0.004);
      for (int c = 0; c < 3; ++c) p[c] = static_cast<unsigned char>(std::clamp(shade * (180 + 30 * c) + int(grain() % 24), 0.0, 255.0));
    }
  }
  return rgb;
}

std::string writeJpeg(const std::vector<unsigned char>& rgb) {
  const std::string path = "/tmp/mannequin-reference-bench.jpg";
  FILE* out = std::fopen(path.c_str(), "wb");
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, out);
  info.image_width = kWidth;
  info.image_height = kHeight;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 90, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<unsigned char*>(&rgb[static_cast<size_t>(info.next_scanline) * kWidth * 3]);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::fclose(out);
  return path;
}

std::string writePng(const std::vector<unsigned char>& rgb) {
  const std::string path = "/tmp/mannequin-reference-bench.png";
  Picture picture{kWidth, kHeight, 3, rgb};
  const std::string bytes = encodePng(picture, "");
  FILE* out = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
  return path;
}

// A 4000 x 3000 reference picture read as Ctrl+B reads it: its header
// judged, then decoded whole (the texture is made at the next frame).
void load(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    ReferencePictures::Loading loading = ReferencePictures::load(path);
    if (!loading.image) state.SkipWithError(loading.error.c_str());
    benchmark::DoNotOptimize(loading.image);
  }
}

void BM_LoadReferenceJpeg(benchmark::State& state) {
  static const std::string path = writeJpeg(photoLike());
  load(state, path);
}

void BM_LoadReferencePng(benchmark::State& state) {
  static const std::string path = writePng(photoLike());
  load(state, path);
}

}  // namespace

BENCHMARK(BM_LoadReferenceJpeg)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_LoadReferencePng)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK_MAIN();
