#include "view/PngEncoding.h"

#include <png.h>

#include <csetjmp>
#include <new>

#include "pose/PosePicture.h"

namespace {

// No exception may cross libpng's C frames: memory running out ends the
// encoding as libpng's own errors do.
void append(png_structp png, png_bytep data, png_size_t size) {
  try {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), size);
  } catch (const std::bad_alloc&) {
    png_error(png, "out of memory");
  }
}

void flush(png_structp) {}

// libpng's calls, which leave by longjmp on failure: nothing here has a
// destructor to skip.
bool write(png_structp png, png_infop info, const Picture& picture, const std::string& poseText,
           std::string& bytes) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, &bytes, append, flush);
  png_set_IHDR(png, info, picture.width, picture.height, 8,
               picture.channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_text text{};
  text.compression = PNG_TEXT_COMPRESSION_NONE;
  text.key = const_cast<char*>(pose_picture::kKeyword);
  text.text = const_cast<char*>(poseText.c_str());
  text.text_length = poseText.size();
  png_set_text(png, info, &text, 1);
  png_write_info(png, info);
  // GL's rows come from the bottom up.
  const size_t stride = static_cast<size_t>(picture.width) * picture.channels;
  for (int row = picture.height - 1; row >= 0; --row) {
    png_write_row(png, const_cast<png_bytep>(&picture.pixels[row * stride]));
  }
  png_write_end(png, info);
  return true;
}

}  // namespace

std::string encodePng(const Picture& picture, const std::string& poseText) {
  if (picture.width <= 0 || picture.height <= 0 || (picture.channels != 3 && picture.channels != 4) ||
      picture.pixels.size() != static_cast<size_t>(picture.width) * picture.height * picture.channels) {
    return "";
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::string bytes;
  const bool written = info && write(png, info, picture, poseText, bytes);
  png_destroy_write_struct(&png, &info);
  return written ? bytes : "";
}
