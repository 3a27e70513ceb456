// The pose a picture carries, read back from PNG files that libpng wrote.
#include <gtest/gtest.h>

#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <sstream>

#include "picture_with_text.h"
#include "pose/PosePicture.h"
#include "temp_folder.h"

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

// Our chunk of this type with these bytes after our keyword's NUL, its CRC
// by zlib, after IHDR.
std::string withOurChunk(const std::string& type, const std::string& afterKeyword) {
  const std::string body = type + "mannequin pose" + std::string(1, '\0') + afterKeyword;
  std::string chunk;
  for (uLong v : {uLong(body.size() - 4), crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())})
    chunk += std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)} + (chunk.empty() ? body : "");
  return pictureWithText("", "Comment").insert(33, chunk);
}
std::string compressedIn(const std::string& text) {
  return pictureWithText(text, "mannequin pose", false, 0, TextChunk::Compressed);
}

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

TEST(PosePicture, DamageIsRefusedInOneLine) {
  const std::string good = pictureWithText(kText);
  EXPECT_TRUE(pose_picture::isPng(good));
  // Cut anywhere before our chunk's CRC ends.
  const std::size_t end = good.find(kText) + kText.size() + 4;
  for (std::size_t n = 0; n < end; ++n)
    EXPECT_EQ(errorOf(good.substr(0, n)), n < 8 ? "it is not a PNG picture" : "the picture is cut short") << n;
  EXPECT_EQ(readOf(good.substr(0, end)).text, kText);
  EXPECT_EQ(errorOf("GIF89a and whatever follows"), "it is not a PNG picture");
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
  EXPECT_EQ(errorOf(withEmpty(4095)), "the picture holds no pose in its first 4096 chunks");
}

// Every kind of text chunk before or after the image, under our keyword whole;
// a chunk shorter than our keyword is not read past its end.
TEST(PosePicture, EveryKindOfTextChunkUnderOurKeywordCarriesThePose) {
  for (TextChunk kind : {TextChunk::Plain, TextChunk::Compressed, TextChunk::International,
                         TextChunk::InternationalCompressed})
    for (bool after : {false, true})
      EXPECT_EQ(readOf(pictureWithText(kText, "mannequin pose", after, 0, kind)).text, kText) << int(kind) << after;
  for (const std::string& bytes : {pictureWithText(kText, "Comment"),
                                   pictureWithText(kText, "mannequin poses"), pictureWithText("", "mannequin pos")})
    EXPECT_EQ(errorOf(bytes), "the picture holds no pose");
}

// The limit holds on the inflated text: 16 MiB in 16 KiB is refused after
// its first piece. Damage is named for what it is.
TEST(PosePicture, CompressedTextIsInflatedNoFurtherThanAPosesLimit) {
  const std::string inflates = "the text inflates to more than the 65536 bytes a pose may have";
  std::streamsize taken = 0;
  EXPECT_EQ(readOf(compressedIn(std::string(65536, 'x'))).text.size(), 65536u);
  EXPECT_EQ(errorOf(compressedIn(std::string(65537, 'x'))), inflates);
  EXPECT_EQ(readOf(compressedIn(std::string(16 << 20, 'x')), &taken).error, inflates);
  EXPECT_LT(taken, 8000);
  std::string good = compressedIn(kText);
  const std::string z = good.substr(57, good.find("IDAT") - 8 - 57);
  const std::string zlib(1, '\0'), malformed = "the picture's pose is damaged: its chunk is malformed";
  EXPECT_EQ(readOf(withOurChunk("zTXt", zlib + z)).text, kText);
  EXPECT_EQ(errorOf(withOurChunk("zTXt", zlib + z.substr(1))),
            "the picture's pose is damaged: it does not inflate");
  EXPECT_EQ(errorOf(withOurChunk("zTXt", zlib + z + 'x')), malformed);
  // A method other than zlib's, and an iTXt whose language tag runs to the chunk's end.
  EXPECT_EQ(errorOf(withOurChunk("zTXt", "\x01" + z)), malformed);
  EXPECT_EQ(errorOf(withOurChunk("iTXt", std::string(2, '\0') + "en-GB")), malformed);
  EXPECT_EQ(errorOf(good.substr(0, 60)), "the picture is cut short");
  good[60] ^= 1;
  EXPECT_EQ(errorOf(good), "the picture's pose is damaged: its checksum is wrong");
}

// ImageMagick keeps a long text as zTXt after the image data.
TEST(PosePicture, APictureResizedByImageMagickStillCarriesItsPose) {
  if (access("/usr/bin/convert", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/convert (imagemagick)";
  const std::string text = kText + "# " + std::string(2000, 'x') + "\n";
  TempFolder folder;
  TempFolder::put(folder.pathOf("in.png"), pictureWithText(text));
  const std::string resize = "/usr/bin/convert " + folder.pathOf("in.png") + " -resize 300% ";
  ASSERT_EQ(std::system((resize + folder.pathOf("out.png")).c_str()), 0);
  const std::string resized = TempFolder::contents(folder.pathOf("out.png"));
  ASSERT_GT(resized.find("zTXtmannequin pose"), resized.find("IDAT"));
  EXPECT_EQ(readOf(resized).text, text);
}
