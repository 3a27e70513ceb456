// The camera and the reference pictures a pose file keeps (version 2), the
// document's verbs for them, and the picture header reader, without a display.
// A recovery copy's camera is recovery_test's.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "document/PoseDocument.h"
#include "humanoid/Humanoid.h"
#include "pose/PictureHeader.h"
#include "pose/PoseFileText.h"
#include "temp_folder.h"

namespace {

// A camera nothing starts with, and two pictures: one beside the file, with
// a blank, a quote and a non-ASCII byte in its name, and one elsewhere.
ViewState someView(const std::string& folder) {
  ViewState v;
  v.pitch = 0.1f, v.yaw = -2.5f, v.distance = -13.25f, v.center = Vec3(0.5f, 4.1f, -0.3f);
  v.view = 4, v.fieldOfView = 30;
  v.pictures[4] = ReferencePicture{folder + "/sub/top \"\xc3\xa9\".png", 70, 0.03, -0.2, 1.1025};
  v.pictures[ViewState::kFree] = ReferencePicture{"/elsewhere/free.jpg", 0, 0, 0, 0.5};
  v.picturesShown = false;
  return v;
}

class ViewStates : public testing::Test, protected TempFolder {
 protected:
  PoseDocument doc{buildHumanoid()};
};

TEST_F(ViewStates, AFileKeepsTheCameraAndThePicturesRelativeBesideIt) {
  const ViewState view = someView(path);
  doc.keepViewState(view);
  // No step and no change to save.
  EXPECT_FALSE(doc.modified());
  EXPECT_EQ(doc.steps().undoCount(), 0u);
  ASSERT_FALSE(doc.saveTo(pathOf("a.pose")).refused);
  const std::string text = contents(pathOf("a.pose"));
  EXPECT_EQ(text.substr(0, 17), "mannequin pose 2\n");
  EXPECT_NE(text.find("camera top 0.1 -2.5 -13.25 0.5 4.1 -0.3 30\n"), std::string::npos) << text;
  EXPECT_NE(text.find("picture top 70 0.03 -0.2 1.1025 \"sub/top\\x20\\x22\\xc3\\xa9\\x22.png\"\n"), std::string::npos);
  EXPECT_NE(text.find("picture free 0 0 0 0.5 \"/elsewhere/free.jpg\"\npictures hidden\n"), std::string::npos);

  PoseDocument other(buildHumanoid());
  const Outcome opened = other.open(pathOf("a.pose"));
  EXPECT_EQ(opened.words, "opened a.pose; reference picture missing: " + path + "/sub/top \"\xc3\xa9\".png, /elsewhere/free.jpg");
  ASSERT_TRUE(other.viewState());
  EXPECT_TRUE(*other.viewState() == view);
  EXPECT_EQ(other.viewsBrought(), 1u);
  EXPECT_EQ(pose_text::write(other.figure()), pose_text::write(doc.figure()));
}

// A figure at the edge of what a pose holds, framed: the camera five times
// as far is kept within the file's numbers, and the pose saves.
TEST_F(ViewStates, ACameraBeyondTheFilesNumbersIsKeptWithinThem) {
  ViewState far = someView(path);
  far.center = Vec3(5e6f, -999999.9f, -5e6f), far.distance = -2e6f;
  doc.keepViewState(far);
  ASSERT_FALSE(doc.saveTo(pathOf("far.pose")).refused);
  PoseDocument other(buildHumanoid());
  other.open(pathOf("far.pose"));
  ASSERT_TRUE(other.viewState());
  const ViewState& kept = *other.viewState();
  EXPECT_EQ(std::make_tuple(kept.center.x, kept.center.y, kept.center.z, kept.distance),
            std::make_tuple(999999.94f, -999999.9f, -999999.94f, -999999.94f));
}

// A version-1 file opens as before, and a pose file's text pastes as its
// pose: the camera and the pictures stay as they were. Copies stay version
// 1, byte for byte.
TEST_F(ViewStates, VersionOneAndPastesLeaveTheCamera) {
  ASSERT_FALSE(doc.saveTo(pathOf("one.pose")).refused);
  EXPECT_EQ(contents(pathOf("one.pose")), pose_text::write(doc.figure()));
  PoseDocument other(buildHumanoid());
  other.keepViewState(someView(path));
  EXPECT_EQ(other.open(pathOf("one.pose")).words, "opened one.pose");
  EXPECT_EQ(other.viewsBrought(), 0u);
  EXPECT_TRUE(*other.viewState() == someView(path));
  std::string copied;
  other.copy(copied);
  EXPECT_EQ(copied, pose_text::write(other.figure()));

  const std::string start = pose_text::write(doc.figure());
  ASSERT_FALSE(doc.open(MANNEQUIN_POSES "/kneeling.pose").refused);
  const std::string kneeling = pose_text::write(doc.figure());
  const std::string two = pose_file_text::write(doc.figure(), someView(path), path);
  ASSERT_FALSE(doc.reset().refused);
  doc.keepViewState(ViewState{});
  EXPECT_EQ(doc.paste(two, two.size(), false).words, "pasted");
  EXPECT_EQ(pose_text::write(doc.figure()), kneeling);
  EXPECT_TRUE(*doc.viewState() == ViewState{});
  ASSERT_FALSE(doc.reset().refused);
  EXPECT_EQ(doc.paste(two, two.size(), true).words, "pasted mirrored");
  EXPECT_NE(pose_text::write(doc.figure()), kneeling);
  EXPECT_NE(pose_text::write(doc.figure()), start);
}

// All or nothing: each broken line is refused with its number, the figure
// and the camera as they were; the lens's limits on both sides.
TEST_F(ViewStates, ABrokenViewLineRefusesTheWholeFile) {
  const std::string pose = pose_file_text::write(doc.figure(), ViewState{}, "");
  const std::size_t camera = pose.find("camera ");
  const int line = int(std::count(pose.begin(), pose.begin() + long(camera), '\n')) + 1;
  const std::string at = "line " + std::to_string(line) + ": ",
                    next = "line " + std::to_string(line + 1) + ": ";
  const std::string camera45 = "camera free 0 0 -1 0 0 0 45\n";
  const std::string head = pose.substr(0, camera);
  EXPECT_EQ(pose_file_text::read(doc.figure(), head + "camera free 0 0 -1 0 0 0 15\n", "").error, "");
  EXPECT_EQ(pose_file_text::read(doc.figure(), head + "camera free 0 0 -1 0 0 0 90\n", "").error, "");
  const struct {
    std::string lines, error;
  } cases[] = {
      {"camera free 0 0 -1 0 0 0 14.9\n", at + "the field of view is from 15 to 90 degrees"},
      {"camera free 0 0 -1 0 0 0 90.1\n", at + "the field of view is from 15 to 90 degrees"},
      {"camera side 0 0 -1 0 0 0 45\n",
       at + "unknown view \"side\" (front, back, right, left, top, bottom or free)"},
      {"camera free 0 0 -1 0 0 45\n", at + "a camera line is: camera VIEW and seven numbers, not 7 words"},
      {"", "after line " + std::to_string(line - 1) + ": a version-2 pose has no camera line"},
      {camera45 + "picture top 101 0 0 1 \"a\"\n",
       next + "the opacity \"101\" is not a whole number from 0 to 100"},
      {camera45 + "picture top 50 0 -100.5 1 \"a\"\n",
       next + "a picture's place is at most 100 views from the centre"},
      {camera45 + "picture top 50 0 0 0 \"a\"\n",
       next + "a picture's size is above 0 and at most 100 view heights"},
      {camera45 + "picture top 50 0 0 1 a b\n",
       next + "a picture line is: picture VIEW OPACITY X Y SIZE \"PATH\", not 7 words"},
      {camera45 + "picture top 50 0 0 1 \"a\\x2\"\n",
       next + "the picture's file \"\\x22a\\x5cx2\\x22\" is not a quoted, escaped path of 1 to 4096 bytes"},
  };
  doc.keepViewState(someView(path));
  const std::string before = pose_text::write(doc.figure());
  for (const auto& c : cases) {
    put(pathOf("bad.pose"), head + c.lines);
    EXPECT_EQ(doc.open(pathOf("bad.pose")).words, "open: " + pathOf("bad.pose") + ": " + c.error) << c.lines;
  }
  EXPECT_EQ(pose_text::write(doc.figure()), before);
  EXPECT_TRUE(*doc.viewState() == someView(path));
  EXPECT_EQ(doc.viewsBrought(), 0u);
}

TEST(ReferencePictureLimits, OpacityPlaceAndSizeStopAtTheirEnds) {
  ReferencePicture p;
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(p.changeOpacity(1));
  EXPECT_EQ(p.opacity, 100);
  EXPECT_FALSE(p.changeOpacity(1));
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(p.changeOpacity(-1));
  EXPECT_EQ(p.opacity, 0);
  EXPECT_FALSE(p.changeOpacity(-1));
  EXPECT_TRUE(p.scaleBy(1));
  EXPECT_DOUBLE_EQ(p.size, 1.05);
  p.size = 0.0101;
  EXPECT_TRUE(p.scaleBy(-1));
  EXPECT_EQ(p.size, 0.01);
  EXPECT_FALSE(p.scaleBy(-1));
  p.x = 99.995;
  EXPECT_TRUE(p.moveBy(1, -1));
  EXPECT_EQ(p.x, 100.0);
  EXPECT_DOUBLE_EQ(p.y, -0.01);
  EXPECT_TRUE(p.moveBy(1, 0) == false);
}

// A PNG's IHDR and a JPEG's SOF, the segments before it skipped.
std::string png(unsigned width, unsigned height) {
  std::string s = "\x89PNG\r\n\x1a\n";
  s += std::string("\0\0\0\x0dIHDR", 8);
  for (unsigned v : {width, height})
    for (int shift = 24; shift >= 0; shift -= 8) s += char(v >> shift & 0xff);
  return s + std::string("\x08\x02\0\0\0", 5);
}
std::string jpeg(unsigned width, unsigned height) {
  std::string s("\xff\xd8\xff\xe0\0\x10JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 20);
  s += std::string("\xff\xff\xc2\0\x11\x08", 6);  // a fill byte, then a progressive frame
  s += {char(height >> 8), char(height & 0xff), char(width >> 8), char(width & 0xff)};
  return s + std::string(9, '\x01');
}

picture_header::Header header(const std::string& bytes) {
  std::istringstream in(bytes);
  return picture_header::read(in);
}

TEST(PictureHeaders, ASideOver8192IsRefusedBeforeDecoding) {
  for (auto make : {png, jpeg}) {
    const picture_header::Header ok = header(make(8192, 3));
    EXPECT_EQ(std::make_tuple(ok.error, ok.width, ok.height), std::make_tuple(std::string(), 8192, 3));
    EXPECT_EQ(header(make(3, 8192)).error, "");
    EXPECT_EQ(header(make(8193, 3)).error, "it is 8193 x 3 pixels, more than 8192 on a side");
    EXPECT_EQ(header(make(3, 8193)).error, "it is 3 x 8193 pixels, more than 8192 on a side");
    EXPECT_EQ(header(make(0, 1)).error, "it has no pixels");
  }
  EXPECT_EQ(header(jpeg(5, 7)).kind, picture_header::Header::Kind::Jpeg);
  // Four colour channels (CMYK), which the decoder refuses, are named as such.
  std::string cmyk = jpeg(5, 7);
  cmyk[30] = 4;
  EXPECT_EQ(header(cmyk).error, "its colours are CMYK, which are not read");
  EXPECT_EQ(header("GIF89a").error, "it is not a PNG or JPEG picture");
  EXPECT_EQ(header("").error, "it is not a PNG or JPEG picture");
}

// Cut before its size, or with any byte changed, a header reads or is
// refused with one line, never past the end.
TEST(PictureHeaders, CutOrChangedHeadersEndInOneLine) {
  std::mt19937 draw(7);
  for (auto make : {png, jpeg}) {
    const std::string whole = make(640, 480);
    const std::size_t sized = make == png ? 24 : 30;  // the bytes up to the width and height
    for (std::size_t cut = 0; cut < sized; ++cut) EXPECT_NE(header(whole.substr(0, cut)).error, "") << cut;
    for (int i = 0; i < 2000; ++i) {
      std::string changed = whole;
      changed[draw() % changed.size()] = char(draw());
      const picture_header::Header h = header(changed);
      EXPECT_EQ(h.error.find('\n'), std::string::npos);
      if (h.error.empty()) {
        EXPECT_TRUE(h.width >= 1 && h.width <= 8192 && h.height >= 1 && h.height <= 8192);
      }
    }
  }
}

}  // namespace
