#include "picture_with_text.h"

#include <png.h>

#include <vector>

namespace {

void append(png_structp png, png_bytep data, png_size_t size) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), size);
}

}  // namespace

// No error handler of ours: libpng aborts on an error, which fails the tests.
std::string pictureWithText(const std::string& text, const std::string& keyword, bool afterImage,
                            std::size_t fillerBytes, TextChunk kind) {
  std::string bytes;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &bytes, append, nullptr);
  png_set_IHDR(png, info, 1, 1, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, 0);
  std::vector<png_byte> filler(fillerBytes, 0x55);
  // Private and safe to copy, so libpng writes it.
  png_unknown_chunk unknown{{'p', 'r', 'V', 't', 0}, filler.data(), filler.size(), PNG_HAVE_IHDR};
  if (fillerBytes) png_set_unknown_chunks(png, info, &unknown, 1);
  const int compression[] = {PNG_TEXT_COMPRESSION_NONE, PNG_TEXT_COMPRESSION_zTXt, PNG_ITXT_COMPRESSION_NONE,
                             PNG_ITXT_COMPRESSION_zTXt};
  png_text chunk{compression[static_cast<int>(kind)], const_cast<char*>(keyword.c_str()),
                 const_cast<char*>(text.c_str()), text.size(), 0, const_cast<char*>("en-GB"),
                 const_cast<char*>("Pose")};
  if (!afterImage) png_set_text(png, info, &chunk, 1);
  png_write_info(png, info);
  png_byte pixel = 0;
  png_write_row(png, &pixel);
  if (afterImage) png_set_text(png, info, &chunk, 1);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return bytes;
}
