// The named views, the framing key and pictures of any size, in the real
// window: what the camera shows is read back from GL.
#include <gtest/gtest.h>

#include "view/PictureRendering.h"
#include "view/SceneDrawing.h"
#include "view/ViewFraming.h"
#include "window_fixture.h"

using Background = PictureOptions::Background;

class Pictures : public WindowFixture {
 protected:
  Picture picture(int width, int height, Background background) {
    return view->figurePicture(width, height, background);
  }
};

using Views = WindowFixture;

// Keypad 1 with NumLock off, as the toolkit gives it, puts the camera where
// the front view of the view's proportions puts it (which side each key
// shows, and the framing's geometry, are tested without a display), with no
// setting and no step; Home brings back the start camera's frame, pixel for
// pixel.
TEST_F(Views, AViewKeyFramesTheFigureAndHomeGoesBack) {
  const FramePixels first = drawAndRead();
  const std::string title = this->title();
  command(FL_End, 0, FL_KP + '1');
  OrbitCamera front;
  lookFrom(front, ViewSide::Front, *figure, double(view->w()) / view->h());
  EXPECT_LT(distance(view->camera->eye, front.eye), 1e-5);
  EXPECT_LT(distance(view->camera->center, front.center), 1e-5);
  EXPECT_EQ(this->title(), title);
  EXPECT_EQ(document->steps().undoCount(), 0u);
  command(FL_Home, 0);
  EXPECT_EQ(drawAndRead().rgb, first.rgb);
}

// 2x and 4x pictures are drawn in tiles of the view's size through parts of
// one frustum: reduced to the view's size, they are the view's picture but
// along the edges of the bodies. The view's own frame is untouched.
TEST_F(Pictures, LargerPicturesAreTheViewsPictureDrawnInTiles) {
  command(FL_F + 5, 0);
  const int w = view->w(), h = view->h();
  const Picture one = picture(w, h, Background::Black);
  for (int n : {2, 4}) {
    SCOPED_TRACE(n);
    const Picture big = picture(n * w, n * h, Background::Black);
    ASSERT_EQ(big.width, n * w);
    ASSERT_EQ(big.height, n * h);
    // Red, which the figure's magenta always has: a box average of n x n.
    const auto red = [](const Picture& p, int x, int y) { return int(p.pixels[(size_t(y) * p.width + x) * 3]); };
    int figure = 0, differing = 0, awayFromEdges = 0;
    for (int y = 1; y < h - 1; ++y) {
      for (int x = 1; x < w - 1; ++x) {
        int sum = 0;
        for (int dy = 0; dy < n; ++dy) {
          for (int dx = 0; dx < n; ++dx) sum += red(big, n * x + dx, n * y + dy);
        }
        const int a = red(one, x, y), b = sum / (n * n);
        figure += a > 0 || b > 0;
        if (std::abs(a - b) <= 24) continue;
        ++differing;
        // An edge: a neighbour in the view's picture differs as much.
        int step = 0;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) step = std::max(step, std::abs(red(one, x + dx, y + dy) - a));
        }
        awayFromEdges += step <= 24;
      }
    }
    EXPECT_GT(figure, 20000);
    EXPECT_LT(double(differing) / figure, 0.06);
    EXPECT_LT(awayFromEdges, differing / 50 + 1);
  }
  // Tiles of another size cut the same frustum: the same picture, but for
  // the odd pixel that rounds the other way along a seam.
  view->make_current();
  const Picture other = renderPicture(*view->camera, *figure, 300, 250, 2 * w, 2 * h, Background::Black);
  const Picture two = picture(2 * w, 2 * h, Background::Black);
  ASSERT_EQ(other.pixels.size(), two.pixels.size());
  size_t differing = 0;
  for (size_t i = 0; i < two.pixels.size(); ++i) differing += two.pixels[i] != other.pixels[i];
  EXPECT_LT(differing, 200u);
  drawFrame();
  const FrameMatrices m = frameMatrices();
  EXPECT_EQ(std::vector<GLint>(m.viewport, m.viewport + 4), (std::vector<GLint>{0, 0, w, h}));
  EXPECT_NEAR(m.projection[5], 1.0 / std::tan(M_PI / 8), 1e-6);
}

// Transparent where nothing was drawn, from the depth buffer; the figure's
// pixels are the same on every background.
TEST_F(Pictures, TheBackgroundIsBlackWhiteOrTransparentAroundTheSameFigure) {
  const int w = 2 * view->w(), h = 2 * view->h();
  const Picture black = picture(w, h, Background::Black), white = picture(w, h, Background::White),
                clear = picture(w, h, Background::Transparent);
  ASSERT_EQ(clear.channels, 4);
  int opaque = 0;
  for (size_t i = 0; i < size_t(w) * h; ++i) {
    const unsigned char* b = &black.pixels[3 * i];
    const unsigned char* wh = &white.pixels[3 * i];
    const unsigned char* t = &clear.pixels[4 * i];
    if (t[3] == 255) {
      ++opaque;
      ASSERT_TRUE(std::equal(b, b + 3, t) && std::equal(b, b + 3, wh)) << i;
    } else {
      ASSERT_EQ(t[3], 0);
      ASSERT_TRUE(b[0] == 0 && b[1] == 0 && b[2] == 0 && t[0] == 0 && t[1] == 0 && t[2] == 0) << i;
      ASSERT_TRUE(wh[0] == 255 && wh[1] == 255 && wh[2] == 255) << i;
    }
  }
  EXPECT_GT(opaque, 20000);
  EXPECT_EQ(clear.pixels[3], 0);
  EXPECT_EQ(clear.pixels.back(), 0);
  // The view's own frame is black again.
  EXPECT_TRUE(isBlack(drawAndRead().at(0, 0)));
}
