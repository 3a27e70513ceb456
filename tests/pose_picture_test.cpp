// The pose a picture carries, read back from PNG files that libpng wrote.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>

#include "picture_with_text.h"
#include "pose/PosePicture.h"

namespace {

const std::string kText = "mannequin pose 1\nroot 0 0.91 0 0 0 0 1\n";

// The bytes as a stream that counts how many of them it hands out.
struct CountedBytes : std::stringbuf {
  explicit CountedBytes(const std::string& bytes) : std::stringbuf(bytes, std::ios::in) {}
  std::streamsize xsgetn(char* to, std::streamsize n) override {
    const std::streamsize got = std::stringbuf::xsgetn(to, n);
    handedOut += got;
    return got;
  }
  std::streamsize handedOut = 0;
};

struct Read {
  pose_picture::Reading reading;
  std::streamsize bytes;  // how many were read
};
Read readOf(const std::string& bytes) {
  CountedBytes buffer(bytes);
  std::istream in(&buffer);
  pose_picture::Reading reading = pose_picture::read(in);
  return {reading, buffer.handedOut};
}
std::string errorOf(const std::string& bytes) { return readOf(bytes).reading.error; }

// Sets the big-endian length that comes before the first chunk of the type.
void setLength(std::string& bytes, const char* type, std::uint32_t length) {
  const std::size_t at = bytes.find(type) - 4;
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(length >> (24 - 8 * i));
}

}  // namespace

// Behind a private chunk of a mebibyte, which is skipped, never read.
TEST(PosePicture, TheTextIsFoundBehindOtherChunksWithoutReadingThem) {
  const std::string bytes = pictureWithText({kText, "mannequin pose", false, 1 << 20});
  EXPECT_TRUE(pose_picture::isPng(bytes));
  const Read read = readOf(bytes);
  EXPECT_EQ(read.reading.text, kText);
  EXPECT_EQ(read.reading.error, "");
  EXPECT_LT(read.bytes, 1000);
  EXPECT_EQ(readOf(pictureWithText({""})).reading.error, "");
}

// A larger text is refused before it is read.
TEST(PosePicture, TheTextMayHaveUpTo65536Bytes) {
  EXPECT_EQ(readOf(pictureWithText({std::string(65536, 'x')})).reading.text.size(), 65536u);
  const Read over = readOf(pictureWithText({std::string(65537, 'x')}));
  EXPECT_EQ(over.reading.error, "the text is 65537 bytes, more than the 65536 a pose may have");
  EXPECT_LT(over.bytes, 1000);
}

// Our keyword whole, before the image data; a chunk shorter than our
// keyword is not read past its end.
TEST(PosePicture, APictureWithoutOurChunkBeforeItsImageHoldsNoPose) {
  for (const PictureText& chunk : {PictureText{kText, "mannequin pose", true}, PictureText{kText, "Comment"},
                                   PictureText{kText, "mannequin poses"}, PictureText{"", "mannequin pos"}})
    EXPECT_EQ(errorOf(pictureWithText(chunk)), "the picture holds no pose") << chunk.keyword;
}

TEST(PosePicture, DamageIsRefusedInOneLine) {
  const std::string good = pictureWithText({kText});
  // Cut anywhere before our chunk's CRC ends.
  const std::size_t end = good.find(kText) + kText.size() + 4;
  for (std::size_t n = 0; n < end; ++n)
    EXPECT_EQ(errorOf(good.substr(0, n)), n < 8 ? "it is not a PNG picture" : "the picture is cut short") << n;
  EXPECT_EQ(readOf(good.substr(0, end)).reading.text, kText);
  std::string bad = good;
  bad[good.find(kText)] ^= 1;
  EXPECT_EQ(errorOf(bad), "the picture's pose is damaged: its checksum is wrong");
  bad = good;
  bad.replace(good.find("IHDR"), 4, "iHDR");
  EXPECT_EQ(errorOf(bad), "the picture does not begin with its header chunk");
  EXPECT_EQ(errorOf("GIF89a" + good), "it is not a PNG picture");
}

// A chunk that declares more bytes than the picture has is skipped to its
// end, which is past the picture's.
TEST(PosePicture, AChunkMayDeclareUpTo2147483647Bytes) {
  std::string bytes = pictureWithText({kText, "mannequin pose", false, 16});
  setLength(bytes, "prVt", 0x7FFFFFFF);
  EXPECT_EQ(errorOf(bytes), "the picture is cut short");
  setLength(bytes, "prVt", 0x80000000);
  EXPECT_EQ(errorOf(bytes), "the picture has a chunk longer than the 2147483647 bytes a PNG chunk may have");
}
