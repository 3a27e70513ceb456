#include "pose/PosePicture.h"

#include <zlib.h>

#include <algorithm>
#include <new>
#include <optional>
#include <utility>

#include "pose/PoseText.h"

namespace pose_picture {

namespace {

constexpr const char* kCutShort = "the picture is cut short";
constexpr const char* kMalformed = "the picture's pose is damaged: its chunk is malformed";
// The keyword and the NUL that ends it, as the chunk's data begins.
constexpr std::size_t kTagSize = std::char_traits<char>::length(kKeyword) + 1;
// Compressed text is read and inflated this many bytes at a time.
constexpr std::size_t kPiece = 4096;

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

bool isText(const std::string& type) { return type == "tEXt" || type == "zTXt" || type == "iTXt"; }

// A chunk's data read in order, its CRC (over its type and data) summed as
// it goes.
class ChunkData {
 public:
  ChunkData(std::istream& in, const Chunk& chunk) : in(in), left(chunk.length) {
    sum = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(chunk.type.data()), 4);
  }

  std::uint32_t remaining() const { return left; }

  // Exactly n bytes of the data, n no more than remain; false when the
  // stream ends first.
  bool take(char* to, std::size_t n) {
    if (!pose_picture::take(in, to, n)) return false;
    sum = crc32(sum, reinterpret_cast<const Bytef*>(to), static_cast<uInt>(n));
    left -= static_cast<std::uint32_t>(n);
    return true;
  }

  // Past the next NUL: none when there is one, else why not.
  const char* pastNul() {
    for (char c = 1; c != '\0';) {
      if (left == 0) return kMalformed;
      if (!take(&c, 1)) return kCutShort;
    }
    return nullptr;
  }

  // Reads what remains and the stored CRC; the refusal when the picture ends
  // first or the sums differ.
  std::string checked() {
    char piece[kPiece];
    while (left > 0)
      if (!take(piece, std::min<std::size_t>(left, sizeof piece))) return kCutShort;
    char stored[4];
    if (!pose_picture::take(in, stored, sizeof stored)) return kCutShort;
    if (static_cast<std::uint32_t>(sum) != bigEndian(stored))
      return "the picture's pose is damaged: its checksum is wrong";
    return "";
  }

 private:
  std::istream& in;
  std::uint32_t left;
  uLong sum;
};

// What the data after our keyword gives: the text, or why not. A refusal
// that is final (the picture cut short, the text too large) stands at once;
// any other waits for the chunk's checksum, the truer reason when it fails.
struct Parsed {
  Reading reading;
  bool final = false;
};

Parsed damaged(const char* why) { return {refused(why), false}; }
Parsed finalRefusal(std::string why) { return {refused(std::move(why)), true}; }

// The rest of the data as text: its size is judged before it is read.
Parsed plain(ChunkData& data) {
  const std::string refusal = pose_text::sizeRefusal(data.remaining());
  if (!refusal.empty()) return finalRefusal(refusal);
  std::string text(data.remaining(), '\0');
  if (!data.take(text.data(), text.size())) return finalRefusal(kCutShort);
  return {{std::move(text), ""}, false};
}

// zlib's state for one stream, ended however the reading ends.
struct Inflation {
  z_stream stream{};
  Inflation() {
    if (inflateInit(&stream) != Z_OK) throw std::bad_alloc();
  }
  ~Inflation() { inflateEnd(&stream); }
  Inflation(const Inflation&) = delete;
  Inflation& operator=(const Inflation&) = delete;
};

// The rest of the data as one zlib stream, read and inflated a piece at a
// time: no more than a piece past the text's limit is ever inflated, however
// small the data.
Parsed inflated(ChunkData& data) {
  Inflation zlib;
  z_stream& z = zlib.stream;
  std::string text;
  char in[kPiece], out[kPiece];
  for (int status = Z_OK; status != Z_STREAM_END;) {
    if (z.avail_in == 0 && data.remaining() > 0) {
      const std::size_t n = std::min<std::size_t>(data.remaining(), sizeof in);
      if (!data.take(in, n)) return finalRefusal(kCutShort);
      z.next_in = reinterpret_cast<Bytef*>(in);
      z.avail_in = static_cast<uInt>(n);
    }
    z.next_out = reinterpret_cast<Bytef*>(out);
    z.avail_out = sizeof out;
    status = inflate(&z, Z_NO_FLUSH);
    if (status == Z_MEM_ERROR) throw std::bad_alloc();
    text.append(out, sizeof out - z.avail_out);
    if (text.size() > pose_text::kSizeLimit)
      return finalRefusal("the text inflates to more than the " + std::to_string(pose_text::kSizeLimit) +
                          " bytes a pose may have");
    // With room for output, no progress means the data ended mid-stream.
    if (status != Z_OK && status != Z_STREAM_END)
      return damaged("the picture's pose is damaged: it does not inflate");
  }
  if (z.avail_in > 0 || data.remaining() > 0) return damaged(kMalformed);
  return {{std::move(text), ""}, false};
}

// zlib's is the only compression method PNG has.
Parsed compressed(ChunkData& data, char method) {
  if (method != 0) return damaged(kMalformed);
  return inflated(data);
}

// iTXt: a compression flag and method, a language tag and a translated
// keyword, each ended by a NUL, then the text. The method of a text not
// compressed means nothing.
Parsed international(ChunkData& data) {
  char flags[2];
  if (data.remaining() < 2) return damaged(kMalformed);
  if (!data.take(flags, 2)) return finalRefusal(kCutShort);
  for (int field = 0; field < 2; ++field)
    if (const char* error = data.pastNul()) return error == kCutShort ? finalRefusal(error) : damaged(error);
  if (flags[0] == 0) return plain(data);
  return flags[0] == 1 ? compressed(data, flags[1]) : damaged(kMalformed);
}

Parsed parsed(ChunkData& data, const std::string& type) {
  if (type == "tEXt") return plain(data);
  if (type == "iTXt") return international(data);
  char method = 0;
  if (data.remaining() < 1) return damaged(kMalformed);
  if (!data.take(&method, 1)) return finalRefusal(kCutShort);
  return compressed(data, method);
}

// The text after our keyword, the chunk's CRC checked.
Reading ourText(ChunkData& data, const std::string& type) {
  Parsed result = parsed(data, type);
  if (result.final) return std::move(result.reading);
  if (std::string refusal = data.checked(); !refusal.empty()) return refused(refusal);
  return std::move(result.reading);
}

// A text chunk's pose when its keyword is ours; none otherwise, and the
// data read to tell is summed in data.
std::optional<Reading> pose(ChunkData& data, const std::string& type) {
  char tag[kTagSize];
  const std::size_t taken = std::min<std::size_t>(data.remaining(), kTagSize);
  if (!data.take(tag, taken)) return refused(kCutShort);
  if (taken < kTagSize || std::string_view(tag, kTagSize) != std::string_view(kKeyword, kTagSize))
    return std::nullopt;
  return ourText(data, type);
}

}  // namespace

bool isPng(std::string_view head) { return head.substr(0, kSignature.size()) == kSignature; }

// Every chunk's data but a text chunk's keyword and ours is skipped by seeking.
Reading read(std::istream& in) {
  char signature[kSignature.size()];
  if (!take(in, signature, sizeof signature) || !isPng({signature, sizeof signature}))
    return refused("it is not a PNG picture");
  // Real pictures have a few chunks and a few dozen of image data; a file of
  // nothing but empty ones is not walked to its end.
  for (int count = 0; count < kChunksLookedAt; ++count) {
    Chunk chunk;
    if (std::string error = nextChunk(in, chunk); !error.empty()) return refused(error);
    if (count == 0 && chunk.type != "IHDR") return refused("the picture does not begin with its header chunk");
    if (chunk.type == "IEND") return refused("the picture holds no pose");
    std::uint32_t left = chunk.length;
    if (isText(chunk.type)) {
      ChunkData data(in, chunk);
      if (std::optional<Reading> ours = pose(data, chunk.type)) return std::move(*ours);
      left = data.remaining();
    }
    if (!skip(in, std::uint64_t{left} + 4)) return refused(kCutShort);
  }
  return refused("the picture holds no pose in its first " + std::to_string(kChunksLookedAt) + " chunks");
}

}  // namespace pose_picture
