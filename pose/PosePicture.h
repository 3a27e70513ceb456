#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

// The pose's text that a picture of it carries: a PNG text chunk (tEXt, or
// zTXt or iTXt, which other programs may write when they rewrite the
// picture) under kKeyword, anywhere before IEND. Every other chunk's data is
// skipped by seeking, so a picture of any size costs a few reads per chunk
// and no more memory than a pose's text.
namespace pose_picture {

constexpr const char* kKeyword = "mannequin pose";
constexpr std::string_view kSignature{"\x89PNG\r\n\x1a\n", 8};
// A PNG chunk's length is at most this.
constexpr std::uint32_t kChunkLimit = 0x7FFFFFFF;
// The most chunks looked at.
constexpr int kChunksLookedAt = 4096;

// Whether the bytes begin with the PNG signature.
bool isPng(std::string_view head);

struct Reading {
  std::string text;
  std::string error;  // one line; empty when the text was found
};
// The text of the first text chunk under kKeyword, inflated when it is
// compressed, its checksum checked. A stream that is no PNG, is cut short,
// does not begin with IHDR, has a chunk longer than kChunkLimit, or has no
// such chunk before IEND is refused, and so is a damaged chunk and a text
// larger than pose_text::kSizeLimit: a plain one before it is read, a
// compressed one as soon as its inflation passes the limit.
Reading read(std::istream& in);

}  // namespace pose_picture
