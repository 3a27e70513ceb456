#include "pose/PosePicture.h"

#include <zlib.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "pose/PoseText.h"

namespace pose_picture {

namespace {

constexpr const char* kCutShort = "the picture is cut short";
// The keyword and the NUL that ends it, as the chunk's data begins.
constexpr std::size_t kTagSize = std::char_traits<char>::length(kKeyword) + 1;

struct Chunk {
  std::uint32_t length = 0;
  std::string type;
};

Reading refused(std::string error) { return {"", std::move(error)}; }

std::uint32_t bigEndian(const char* bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[i]);
  return value;
}

// Exactly n bytes, or false when the stream ends first.
bool take(std::istream& in, char* to, std::size_t n) {
  in.read(to, static_cast<std::streamsize>(n));
  return static_cast<std::size_t>(in.gcount()) == n;
}

// Past bytes that are never read: a file seeks past its end, to fail at the
// next read; a string stream fails here.
bool skip(std::istream& in, std::uint64_t n) {
  return static_cast<bool>(in.seekg(static_cast<std::streamoff>(n), std::ios::cur));
}

// The next chunk's length and type; an error when there is none.
std::string nextChunk(std::istream& in, Chunk& chunk) {
  char header[8];
  if (!take(in, header, sizeof header)) return kCutShort;
  chunk.length = bigEndian(header);
  chunk.type.assign(header + 4, 4);
  if (chunk.length <= kChunkLimit) return "";
  return "the picture has a chunk longer than the " + std::to_string(kChunkLimit) + " bytes a PNG chunk may have";
}

// The CRC of our tEXt chunk with this text: over its type and its data.
std::uint32_t checksumOf(const std::string& text) {
  uLong sum = crc32(0L, Z_NULL, 0);
  for (std::string_view piece : {std::string_view("tEXt"), std::string_view(kKeyword, kTagSize), std::string_view(text)})
    sum = crc32(sum, reinterpret_cast<const Bytef*>(piece.data()), static_cast<uInt>(piece.size()));
  return static_cast<std::uint32_t>(sum);
}

// The text after our keyword, and the chunk's CRC: the size is judged before
// anything is read.
Reading checkedText(std::istream& in, std::size_t size) {
  if (std::string refusal = pose_text::sizeRefusal(size); !refusal.empty()) return refused(refusal);
  std::string text(size, '\0');
  char stored[4];
  if (!take(in, text.data(), size) || !take(in, stored, sizeof stored)) return refused(kCutShort);
  if (checksumOf(text) != bigEndian(stored)) return refused("the picture's pose is damaged: its checksum is wrong");
  return {std::move(text), ""};
}

// A tEXt chunk's text when its keyword is ours; none otherwise, and taken
// says how much of its data was read to tell.
std::optional<Reading> ourText(std::istream& in, std::uint32_t length, std::uint32_t& taken) {
  char tag[kTagSize];
  taken = std::min<std::uint32_t>(length, kTagSize);
  if (!take(in, tag, taken)) return refused(kCutShort);
  if (taken < kTagSize || std::string_view(tag, kTagSize) != std::string_view(kKeyword, kTagSize)) return std::nullopt;
  return checkedText(in, length - kTagSize);
}

}  // namespace

bool isPng(std::string_view head) { return head.substr(0, kSignature.size()) == kSignature; }

// The image data ends the search: what follows it is never read.
Reading read(std::istream& in) {
  char signature[kSignature.size()];
  if (!take(in, signature, sizeof signature) || !isPng({signature, sizeof signature}))
    return refused("it is not a PNG picture");
  // Real pictures have a few chunks before their image; a file of nothing
  // but empty ones is not walked to its end.
  for (int count = 0; count < kChunksBeforeImage; ++count) {
    const bool first = count == 0;
    Chunk chunk;
    if (std::string error = nextChunk(in, chunk); !error.empty()) return refused(error);
    if (first && chunk.type != "IHDR") return refused("the picture does not begin with its header chunk");
    if (chunk.type == "IDAT" || chunk.type == "IEND") return refused("the picture holds no pose");
    std::uint32_t taken = 0;
    if (chunk.type == "tEXt")
      if (std::optional<Reading> ours = ourText(in, chunk.length, taken)) return std::move(*ours);
    if (!skip(in, std::uint64_t{chunk.length} - taken + 4)) return refused(kCutShort);
  }
  return refused("the picture has more than " + std::to_string(kChunksBeforeImage) + " chunks before its image");
}

}  // namespace pose_picture
