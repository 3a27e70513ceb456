#include "app/WindowIcon.h"

#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Window.H>
#include <png.h>

#include <cstddef>
#include <memory>
#include <vector>

extern const unsigned char kIcon48[];
extern const std::size_t kIcon48Size;
extern const unsigned char kIcon128[];
extern const std::size_t kIcon128Size;

namespace {

// The icon's pixels, decoded by libpng; empty if the bytes are no PNG.
struct Icon {
  std::vector<unsigned char> rgba;
  int width = 0, height = 0;
};

Icon decode(const unsigned char* bytes, std::size_t size) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Icon icon;
  if (!png_image_begin_read_from_memory(&image, bytes, size)) return icon;
  image.format = PNG_FORMAT_RGBA;
  icon.rgba.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, icon.rgba.data(), 0, nullptr)) return {};
  icon.width = static_cast<int>(image.width);
  icon.height = static_cast<int>(image.height);
  return icon;
}

}  // namespace

void setWindowIcon(Fl_Window& window) {
  const Icon icons[] = {decode(kIcon48, kIcon48Size), decode(kIcon128, kIcon128Size)};
  std::vector<std::unique_ptr<Fl_RGB_Image>> images;
  std::vector<const Fl_RGB_Image*> shown;
  for (const Icon& icon : icons) {
    if (icon.rgba.empty()) continue;
    images.push_back(std::make_unique<Fl_RGB_Image>(icon.rgba.data(), icon.width, icon.height, 4));
    shown.push_back(images.back().get());
  }
  // The window keeps copies.
  if (!shown.empty()) window.icons(shown.data(), static_cast<int>(shown.size()));
}
