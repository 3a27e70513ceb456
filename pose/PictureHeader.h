#pragma once

#include <istream>
#include <string>

// What a PNG or JPEG file's header says of its size, read before anything
// is decoded, so that a picture too large to hold is refused unread.
namespace picture_header {

// A reference picture may have at most this many pixels a side.
constexpr int kMaxSide = 8192;

struct Header {
  enum class Kind { Png, Jpeg };
  Kind kind = Kind::Png;
  int width = 0;
  int height = 0;
  std::string error;  // why it is not a picture to read; empty when it is
};

// The kind and size from a PNG's IHDR or a JPEG's frame header (SOF), the
// segments before it skipped; an error for anything else, a header cut
// short, a side of no pixels or one over kMaxSide, or a CMYK JPEG.
Header read(std::istream& in);

}  // namespace picture_header
