#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

// The pose's text that a picture of it carries: a PNG tEXt chunk under
// kKeyword, before the image data. Only the chunks before the first IDAT are
// looked at, and every other chunk's data is skipped by seeking, so a
// picture of any size costs a few reads and no more memory than a pose's
// text.
namespace pose_picture {

constexpr const char* kKeyword = "mannequin pose";
constexpr std::string_view kSignature{"\x89PNG\r\n\x1a\n", 8};
// A PNG chunk's length is at most this.
constexpr std::uint32_t kChunkLimit = 0x7FFFFFFF;
// The most chunks looked at before the image data.
constexpr int kChunksBeforeImage = 4096;

// Whether the bytes begin with the PNG signature.
bool isPng(std::string_view head);

struct Reading {
  std::string text;
  std::string error;  // one line; empty when the text was found
};
// The text of the first tEXt chunk under kKeyword, its checksum checked. A
// stream that is no PNG, is cut short, does not begin with IHDR, has a chunk
// longer than kChunkLimit, or has no such chunk before its image data is
// refused, and so is a text larger than pose_text::kSizeLimit, before it is
// read.
Reading read(std::istream& in);

}  // namespace pose_picture
