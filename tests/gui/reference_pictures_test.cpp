// Reference pictures in the real view: each view shows its own, b hides
// them, and pictures of the figure leave them out unless asked.
#include <gtest/gtest.h>

#include <FL/Fl_PNG_Image.H>

#include <fstream>

#include "pose/PosePicture.h"
#include "pose/PoseFileText.h"
#include "temp_folder.h"
#include "view/PngEncoding.h"
#include "window_fixture.h"

namespace {

class References : public WindowFixture, protected TempFolder {
 protected:
  // A picture of one colour, wider than the view's proportions, so that at
  // the view's height it covers every corner.
  std::string solid(const std::string& name, unsigned char r, unsigned char g, unsigned char b) {
    Picture p{64, 48, 3, {}};
    for (int i = 0; i < 64 * 48; ++i) p.pixels.insert(p.pixels.end(), {r, g, b});
    put(pathOf(name), encodePng(p, ""));
    return pathOf(name);
  }

  // Opens a pose file whose front and top views have a green and a blue
  // picture; the camera stays free, where it starts.
  void openWithPictures() {
    ViewState state;
    state.pictures[0] = ReferencePicture{solid("front.png", 0, 255, 0)};
    state.pictures[4] = ReferencePicture{solid("top.png", 0, 0, 255)};
    put(pathOf("a.pose"), pose_file_text::write(*figure, state, path));
    ASSERT_FALSE(view->openFile(pathOf("a.pose")).refused);
  }

  Rgb corner() { return drawAndRead().at(3, 3); }
};

void expectColour(Rgb c, int r, int g, int b) {
  EXPECT_NEAR(c.r, r, 2);
  EXPECT_NEAR(c.g, g, 2);
  EXPECT_NEAR(c.b, b, 2);
}

TEST_F(References, EachViewShowsOnlyItsOwnPictureAndBHidesThemAll) {
  openWithPictures();
  expectColour(corner(), 0, 0, 0);  // the free camera has none
  command(FL_End, 0, FL_KP + '1');
  expectColour(corner(), 0, 128, 0);  // half opaque over black
  command(FL_Home, 0, FL_KP + '7');
  expectColour(corner(), 0, 0, 128);
  command(FL_Page_Down, 0, FL_KP + '3');
  expectColour(corner(), 0, 0, 0);
  command(FL_End, 0, FL_KP + '1');
  command(']', 0);
  expectColour(corner(), 0, 153, 0);
  command('b', 0);
  expectColour(corner(), 0, 0, 0);
  command(FL_Home, 0, FL_KP + '7');
  expectColour(corner(), 0, 0, 0);
  command('b', 0);
  expectColour(corner(), 0, 0, 128);
  // None of it is a step or a change to save.
  EXPECT_EQ(document->steps().undoCount(), 1u);
  EXPECT_FALSE(document->modified());
}

// Pictures of the figure leave the reference out unless the options ask;
// with it, they still carry the pose alone.
TEST_F(References, PicturesLeaveThemOutUnlessAsked) {
  // The figure's pixels from the front before there is any picture behind it.
  command(FL_End, 0, FL_KP + '1');
  const Picture before = view->figurePicture(view->w(), view->h(), PictureOptions::Background::Black);
  int figureBefore = 0;
  for (std::size_t p = 0; p < before.pixels.size(); p += 3)
    figureBefore += isMagenta({before.pixels[p], before.pixels[p + 1], before.pixels[p + 2]});
  ASSERT_GT(figureBefore, 1000);
  openWithPictures();
  command(FL_End, 0, FL_KP + '1');
  expectColour(corner(), 0, 128, 0);
  PictureOptions options;
  for (const bool with : {false, true}) {
    options.references = with;
    const std::string out = pathOf(with ? "with.png" : "without.png");
    ASSERT_FALSE(view->exportPicture(out, options, view->w(), view->h()).refused);
    Fl_PNG_Image picture(out.c_str());
    ASSERT_EQ(picture.w(), view->w());
    const auto* pixel = reinterpret_cast<const unsigned char*>(picture.data()[0]) + (3 * view->w() + 3) * picture.d();
    expectColour({pixel[0], pixel[1], pixel[2]}, 0, with ? 128 : 0, 0);
    std::ifstream in(out, std::ios::binary);
    EXPECT_EQ(pose_picture::read(in).text, pose_text::write(*figure));
  }
  // The figure keeps its colour over the picture, in every tile too: as many
  // figure pixels as before, four times as many at twice the size.
  int figurePixels[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    options.references = i > 0;
    options.size = i == 2 ? PictureOptions::Size::Double : PictureOptions::Size::View;
    ASSERT_FALSE(view->exportPicture(pathOf("tiles.png"), options, view->w(), view->h()).refused);
    Fl_PNG_Image picture(pathOf("tiles.png").c_str());
    const auto* pixels = reinterpret_cast<const unsigned char*>(picture.data()[0]);
    for (int p = 0; p < picture.w() * picture.h(); ++p, pixels += picture.d())
      figurePixels[i] += isMagenta({pixels[0], pixels[1], pixels[2]});
  }
  for (int i = 0; i < 2; ++i) EXPECT_NEAR(figurePixels[i], figureBefore, 0.05 * figureBefore) << i;
  EXPECT_NEAR(figurePixels[2], 4.0 * figureBefore, 0.2 * figureBefore);
}

}  // namespace
