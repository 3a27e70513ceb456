// The clay look's geometry and sampling, without a display.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "figure/Figure.h"
#include "humanoid/Humanoid.h"
#include "view/ClayBodies.h"
#include "view/ClaySampling.h"

namespace {

// How far a facet's edge falls short of a circle of r pixels cut in n.
double shortfall(double r, int n) { return r * (1 - std::cos(M_PI / n)); }

// The solids that belong to a segment, in the order they are made: its
// body, the ball at its joint, then its details.
std::vector<ClayBody> of(const std::vector<ClayBody>& bodies, const Segment* s) {
  std::vector<ClayBody> found;
  for (const ClayBody& b : bodies) {
    if (b.segment == s) found.push_back(b);
  }
  return found;
}

float ahead(const Figure& figure, const ClayBody& part, const ClayBody& body) {
  return dot(centreOf(part) - centreOf(body), figure.front);
}

}  // namespace

// Facets within half a pixel of the outline, with no more slices than that
// takes; a speck gets the fewest, a ball larger than the screen the most.
TEST(ClaySampling, SlicesFollowTheSizeOnScreen) {
  for (double r : {3.0, 7.0, 20.0, 80.0, 300.0, 900.0}) {
    const int n = clay::sliceCount(r);
    if (n < clay::kMaxSlices) {
      EXPECT_LE(shortfall(r, n), 0.5) << r;
    }
    if (n > clay::kMinSlices) {
      EXPECT_GT(shortfall(r, n - 1), 0.5) << r;
    }
  }
  // pi sqrt(r) slices: 7.95, 8.07, 94.2 and 99.3.
  const std::pair<double, int> counts[] = {{-5, clay::kMinSlices},      {6.4, clay::kMinSlices},
                                           {6.6, clay::kMinSlices + 1}, {900, clay::kMaxSlices - 1},
                                           {1000, clay::kMaxSlices},    {1e9, clay::kMaxSlices}};
  for (const auto& [r, n] : counts) EXPECT_EQ(clay::sliceCount(r), n) << r;
  // 45 degrees, 665 pixels high: at depth 10 the view is 2 tan(22.5) 10 =
  // 8.284 high, so a radius of 1 covers 665 / 8.284 = 80.27 pixels.
  EXPECT_NEAR(clay::pixelRadius(1, 10, 1 / std::tan(M_PI / 8), 665), 80.27, 0.01);
}

TEST(ClaySampling, SmallPicturesAreSampledFiner) {
  EXPECT_EQ(clay::supersampling(2048, 2048), 3);  // 4 Mi pixels
  EXPECT_EQ(clay::supersampling(2049, 2048), 2);
  EXPECT_EQ(clay::supersampling(690, 665), 3);
  EXPECT_EQ(clay::supersampling(2760, 2660), 2);  // 4x the window
}

// Each block's average: with alpha, the drawn samples' colour and the share
// of them drawn; without, the plain mean. Rounded to the nearest.
TEST(ClaySampling, BlocksAreAveragedIntoTheirPlace) {
  Picture samples{4, 2, 4, {}};
  // Left block: one red sample drawn of four. Right block: all drawn, grey
  // levels 10, 20, 30, 41.
  samples.pixels = {255, 0, 0, 255, 0, 0, 0, 0, 10, 10, 10, 255, 20, 20, 20, 255,
                    0,   0, 0, 0,   0, 0, 0, 0, 30, 30, 30, 255, 41, 41, 41, 255};
  Picture picture{3, 2, 4, std::vector<unsigned char>(3 * 2 * 4, 7)};
  clay::averageInto(samples, 2, picture, 1, 1);
  const std::vector<unsigned char> row1(picture.pixels.begin() + 12, picture.pixels.end());
  EXPECT_EQ(row1, (std::vector<unsigned char>{7, 7, 7, 7, 255, 0, 0, 64, 25, 25, 25, 255}));
  EXPECT_EQ(picture.pixels[0], 7);  // outside the place: untouched

  Picture rgb{2, 2, 3, {0, 0, 0, 255, 255, 255, 100, 0, 0, 101, 0, 0}};
  Picture small{1, 1, 3, {0, 0, 0}};
  clay::averageInto(rgb, 2, small, 0, 0);
  EXPECT_EQ(small.pixels, (std::vector<unsigned char>{114, 64, 64}));  // (0+255+100+101)/4 = 114
  // Nothing drawn: transparent black.
  Picture empty{2, 2, 4, std::vector<unsigned char>(16, 0)};
  Picture one{1, 1, 4, {9, 9, 9, 9}};
  clay::averageInto(empty, 2, one, 0, 0);
  EXPECT_EQ(one.pixels, (std::vector<unsigned char>{0, 0, 0, 0}));
}

// The lowest point of a solid: its centre less its half reach along y,
// whichever way it is turned.
TEST(ClayBodies, TheFloorLiesUnderTheLowestSolid) {
  ClayBody upright{translationMatrix(0, 1, 0) * scaleMatrix(2, 4, 2)};
  // The same turned a quarter about z: its long axis (4) lies along x.
  ClayBody lying{translationMatrix(3, 0.5f, 0) * Mat4(0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1) *
                 scaleMatrix(2, 4, 2)};
  EXPECT_FLOAT_EQ(lowestPoint({upright}), -1.0f);
  EXPECT_FLOAT_EQ(lowestPoint({upright, lying}), -1.0f);
  lying.ellipsoid.m[7] = -0.5f;
  EXPECT_FLOAT_EQ(lowestPoint({upright, lying}), -1.5f);
  EXPECT_FLOAT_EQ(halfExtent(lying, 0), 2.0f);
}

// 18 bodies, a ball at each of the 17 joints between two of them, and 7
// details: the nose ahead of the head, a heel behind and toes ahead of each
// foot, and a thumb on each hand where the hand's side puts it: with the
// fingers f and the palm's normal p, on the side of f x p for the right hand
// and of p x f for the left, as a person's.
TEST(ClayBodies, TheFigureShowsWhereItFaces) {
  auto figure = buildHumanoid();
  const std::vector<ClayBody> bodies = clayBodies(*figure);
  ASSERT_EQ(bodies.size(), 18u + 17u + 7u);
  const auto head = of(bodies, figure->findSegment("h_head"));
  ASSERT_EQ(head.size(), 3u);
  EXPECT_GT(ahead(*figure, head[2], head[0]), 0.05f);
  for (const char* side : {"left", "right"}) {
    const auto hand = of(bodies, figure->findSegment((std::string("h_hand_") + side).c_str()));
    const auto foot = of(bodies, figure->findSegment((std::string("h_foot_") + side).c_str()));
    ASSERT_EQ(hand.size(), 3u);
    ASSERT_EQ(foot.size(), 4u);
    const Mat4& h = hand[0].ellipsoid;
    const Vec3 fingers(-h.m[1], -h.m[5], -h.m[9]), palm(h.m[2], h.m[6], h.m[10]);
    const Vec3 thumbSide = std::string(side) == "right" ? cross(fingers, palm) : cross(palm, fingers);
    EXPECT_GT(dot(centreOf(hand[2]) - centreOf(hand[0]), thumbSide * (1.0 / length(thumbSide))), 0.02f) << side;
    EXPECT_LT(ahead(*figure, foot[2], foot[0]), -0.05f) << side;
    EXPECT_GT(ahead(*figure, foot[3], foot[0]), 0.05f) << side;
  }
  // The floor meets the soles: the lowest solid is a heel or toes.
  const float floor = lowestPoint(bodies);
  for (const ClayBody& b : bodies) {
    if (centreOf(b).y - halfExtent(b, 1) == floor) {
      EXPECT_EQ(std::string(b.segment->name).rfind("h_foot", 0), 0u);
    }
  }
}
