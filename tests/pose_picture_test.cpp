// The pose a picture carries, read back from PNG files that libpng wrote.
#include <gtest/gtest.h>

#include <sstream>

#include "picture_with_text.h"
#include "pose/PosePicture.h"

namespace {

const std::string kText = "mannequin pose 1\nroot 0 0.91 0 0 0 0 1\n";

// The reading, and how many bytes it took from the stream.
pose_picture::Reading readOf(const std::string& bytes, std::streamsize* taken = nullptr) {
  struct Counted : std::stringbuf {
    using std::stringbuf::stringbuf;
    std::streamsize xsgetn(char* to, std::streamsize n) override {
      handedOut += n;  // as asked: reading a chunk would ask for all of it
      return std::stringbuf::xsgetn(to, n);
    }
    std::streamsize handedOut = 0;
  } buffer(bytes, std::ios::in);
  std::istream in(&buffer);
  pose_picture::Reading reading = pose_picture::read(in);
  if (taken) *taken = buffer.handedOut;
  return reading;
}
std::string errorOf(const std::string& bytes) { return readOf(bytes).error; }

}  // namespace

// Behind a private chunk of a mebibyte, which is skipped, never read; a text
// larger than a pose's is refused before it is read.
TEST(PosePicture, TheTextIsFoundBehindOtherChunksWithoutReadingThem) {
  std::streamsize taken = 0;
  EXPECT_EQ(readOf(pictureWithText(kText, "mannequin pose", false, 1 << 20), &taken).text, kText);
  EXPECT_LT(taken, 1000);
  EXPECT_EQ(readOf(pictureWithText("")).error, "");
  EXPECT_EQ(readOf(pictureWithText(std::string(65536, 'x'))).text.size(), 65536u);
  const std::string over = pictureWithText(std::string(65537, 'x'));
  EXPECT_EQ(readOf(over, &taken).error, "the text is 65537 bytes, more than the 65536 a pose may have");
  EXPECT_LT(taken, 1000);
}

// Our keyword whole, before the image data; a chunk shorter than our
// keyword is not read past its end.
TEST(PosePicture, APictureWithoutOurChunkBeforeItsImageHoldsNoPose) {
  for (const std::string& bytes : {pictureWithText(kText, "mannequin pose", true), pictureWithText(kText, "Comment"),
                                   pictureWithText(kText, "mannequin poses"), pictureWithText("", "mannequin pos")})
    EXPECT_EQ(errorOf(bytes), "the picture holds no pose");
}

TEST(PosePicture, DamageIsRefusedInOneLine) {
  const std::string good = pictureWithText(kText);
  EXPECT_TRUE(pose_picture::isPng(good));
  // Cut anywhere before our chunk's CRC ends.
  const std::size_t end = good.find(kText) + kText.size() + 4;
  for (std::size_t n = 0; n < end; ++n)
    EXPECT_EQ(errorOf(good.substr(0, n)), n < 8 ? "it is not a PNG picture" : "the picture is cut short") << n;
  EXPECT_EQ(readOf(good.substr(0, end)).text, kText);
  std::string bad = good;
  bad[good.find(kText)] ^= 1;
  EXPECT_EQ(errorOf(bad), "the picture's pose is damaged: its checksum is wrong");
  bad = good;
  bad.replace(good.find("IHDR"), 4, "iHDR");
  EXPECT_EQ(errorOf(bad), "the picture does not begin with its header chunk");
}

// A chunk that declares more bytes than the picture has is skipped to its
// end, past the picture's.
TEST(PosePicture, AChunkMayDeclareUpTo2147483647Bytes) {
  std::string bytes = pictureWithText(kText, "mannequin pose", false, 16);
  const std::size_t length = bytes.find("prVt") - 4;
  EXPECT_EQ(errorOf(bytes.replace(length, 4, "\x7F\xFF\xFF\xFF")), "the picture is cut short");
  EXPECT_EQ(errorOf(bytes.replace(length, 4, std::string("\x80\0\0\0", 4))),
            "the picture has a chunk longer than the 2147483647 bytes a PNG chunk may have");
}

// Empty chunks before ours: the 4096th chunk is still read, the 4097th not.
TEST(PosePicture, AtMost4096ChunksAreLookedAt) {
  const std::string good = pictureWithText(kText);
  const std::size_t text = good.find("tEXtmannequin pose") - 4;
  const std::string empty("\0\0\0\0prVt\0\0\0\0", 12);
  auto withEmpty = [&](int n) {
    std::string filler;
    for (int i = 0; i < n; ++i) filler += empty;
    return std::string(good).insert(text, filler);
  };
  // IHDR comes first in what libpng writes, just before our chunk.
  ASSERT_EQ(good.find("IHDR") + 4 + 13 + 4 + 4, text + 4);
  EXPECT_EQ(readOf(withEmpty(4094)).text, kText);
  EXPECT_EQ(errorOf(withEmpty(4095)), "the picture has more than 4096 chunks before its image");
}
