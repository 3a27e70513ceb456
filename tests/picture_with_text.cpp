#include "picture_with_text.h"

#include <png.h>

#include <cstring>
#include <vector>

namespace {

void append(png_structp png, png_bytep data, png_size_t size) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), size);
}

}  // namespace

// No error handler of ours: libpng aborts on an error, which fails the tests.
std::string pictureWithText(const PictureText& chunk) {
  std::string bytes;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &bytes, append, nullptr);
  png_set_IHDR(png, info, 1, 1, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_byte> filler(chunk.fillerBytes, 0x55);
  png_unknown_chunk unknown{};
  std::memcpy(unknown.name, "prVt", 5);  // private, and safe to copy, so libpng writes it
  unknown.data = filler.data();
  unknown.size = filler.size();
  unknown.location = PNG_HAVE_IHDR;
  if (!filler.empty()) png_set_unknown_chunks(png, info, &unknown, 1);
  png_text text{};
  text.compression = PNG_TEXT_COMPRESSION_NONE;
  text.key = const_cast<char*>(chunk.keyword.c_str());
  text.text = const_cast<char*>(chunk.text.c_str());
  if (!chunk.afterImage) png_set_text(png, info, &text, 1);
  png_write_info(png, info);
  png_byte pixel = 0;
  png_write_row(png, &pixel);
  if (chunk.afterImage) png_set_text(png, info, &text, 1);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return bytes;
}
