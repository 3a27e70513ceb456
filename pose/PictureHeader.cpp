#include "pose/PictureHeader.h"

#include <array>

namespace picture_header {

namespace {

constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
// A JPEG may hold many small segments before its frame: a limit keeps a
// file of nothing but segments from being walked for long.
constexpr int kSegmentLimit = 100000;

bool take(std::istream& in, unsigned char* bytes, std::size_t count) {
  in.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(count));
  return static_cast<std::size_t>(in.gcount()) == count;
}

unsigned long bigEndian(const unsigned char* bytes, int count) {
  unsigned long value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | bytes[i];
  return value;
}

Header sized(Header header, unsigned long width, unsigned long height) {
  if (width == 0 || height == 0) {
    header.error = "it has no pixels";
  } else if (width > kMaxSide || height > kMaxSide) {
    header.error = "it is " + std::to_string(width) + " x " + std::to_string(height) + " pixels, more than " +
                   std::to_string(kMaxSide) + " on a side";
  } else {
    header.width = static_cast<int>(width);
    header.height = static_cast<int>(height);
  }
  return header;
}

Header failed(Header::Kind kind, const std::string& why) {
  Header header;
  header.kind = kind;
  header.error = why;
  return header;
}

// After the signature: the first chunk is IHDR, 13 bytes.
Header png(std::istream& in) {
  unsigned char chunk[16];
  if (!take(in, chunk, sizeof chunk)) return failed(Header::Kind::Png, "its PNG header is cut short");
  if (bigEndian(chunk, 4) != 13 || std::string(chunk + 4, chunk + 8) != "IHDR")
    return failed(Header::Kind::Png, "its PNG header is broken");
  Header header;
  return sized(header, bigEndian(chunk + 8, 4), bigEndian(chunk + 12, 4));
}

// The frame headers: SOF0 to SOF15, but for DHT (C4), JPG (C8) and DAC (CC).
bool isFrame(unsigned char marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// After SOI: segments, each a marker and (but for the standalone ones) a
// length, until the frame header.
Header jpeg(std::istream& in) {
  const Header::Kind kind = Header::Kind::Jpeg;
  for (int segment = 0; segment < kSegmentLimit; ++segment) {
    unsigned char byte = 0;
    if (!take(in, &byte, 1)) return failed(kind, "it ends before its JPEG frame header");
    if (byte != 0xFF) return failed(kind, "its JPEG segments are broken");
    // Any number of fill bytes may come before a marker.
    do {
      if (!take(in, &byte, 1)) return failed(kind, "it ends before its JPEG frame header");
    } while (byte == 0xFF);
    if (byte == 0x01 || (byte >= 0xD0 && byte <= 0xD7)) continue;
    if (byte == 0xD8 || byte == 0xD9 || byte == 0xDA || byte == 0x00)
      return failed(kind, "it has no JPEG frame header where one belongs");
    unsigned char length[2];
    if (!take(in, length, 2) || bigEndian(length, 2) < 2) return failed(kind, "its JPEG segments are broken");
    if (isFrame(byte)) {
      unsigned char frame[6];
      if (bigEndian(length, 2) < 2 + 6 || !take(in, frame, 6)) return failed(kind, "its JPEG frame header is broken");
      // The decoder takes grey and colour (one or three channels) alone.
      if (frame[5] == 4) return failed(kind, "its colours are CMYK, which are not read");
      Header header;
      header.kind = kind;
      return sized(header, bigEndian(frame + 3, 2), bigEndian(frame + 1, 2));
    }
    if (!in.ignore(static_cast<std::streamsize>(bigEndian(length, 2) - 2)) || in.eof())
      return failed(kind, "it ends before its JPEG frame header");
  }
  return failed(kind, "it has no JPEG frame header where one belongs");
}

}  // namespace

Header read(std::istream& in) {
  unsigned char start[8];
  const bool eight = take(in, start, 8);
  if (eight && std::equal(start, start + 8, kPngSignature)) return png(in);
  if (in.gcount() >= 2 || eight) {
    if (start[0] == 0xFF && start[1] == 0xD8) {
      in.clear();
      in.seekg(2);
      if (in) return jpeg(in);
    }
  }
  return failed(Header::Kind::Png, "it is not a PNG or JPEG picture");
}

}  // namespace picture_header
