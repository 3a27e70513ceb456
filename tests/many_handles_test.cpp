#include <gtest/gtest.h>

#include <random>

#include "ReferenceSolver.h"
#include "ik_test_util.h"
#include "pose/PoseText.h"

// The humanoid with `count` seeded handles pinned where they are, over the
// body or stacked on one point, and its left hand dragged `far` in ten events.
std::vector<double> dragAmongHandles(int count, bool stacked, float far, unsigned seed, bool plain = false) {
  auto f = buildHumanoid();
  Pins pins(*f);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  for (int i = 0; i < count; ++i) {
    if (stacked && i > 0) rng.seed(seed);  // the same draws, so the same point
    const Segment* s = f->segments()[rng() % 21];
    const float along = 0.5f * (unit(rng) + 1.0f), x = unit(rng), y = unit(rng), z = unit(rng);
    Handle* h = pins.add(s->name, s->endOffset * along + Vec3(x, y, z) * 0.05f);
    h->targetPos = h->worldPos;
  }
  Handle* hand = pins.atEnd("h_hand_left");
  const Vec3 from = hand->worldPos, way = Vec3(0.6f, 0.3f, -0.74f) * far;  // about far long
  for (int event = 1; event <= 10; ++event) {
    hand->targetPos = from + way * (event / 10.0f);
    SolveResult r;
    const std::string out = printedBy([&] { r = plain ? reference::solve(*f, hand) : f->solve(hand); });
    EXPECT_EQ(countLines(out, "brem"), std::max(0, r.iterations - 90));
  }
  return f->dofs();
}

TEST(ManyHandles, FortySpreadOverTheBodySolveAsThePlainSolver) {
  for (unsigned seed : {1u, 2u, 3u})
    for (float far : {0.2f, 2.0f}) EXPECT_TRUE(sameVectors(dragAmongHandles(40, false, far, seed),
                                                           dragAmongHandles(40, false, far, seed, true)));
}

// Before, 80 handles sent the root some 1e36 m away. Now the pins hold it:
// nearer than the hand travels on a 0.2 m drag, within half a body on 2 m.
TEST(ManyHandles, EightyToAThousandHoldTheFigureWithinWhatAPoseHolds) {
  const double rootHeight = buildHumanoid()->dofs()[1];
  for (int count : {80, 400, 1000})
    for (bool stacked : {false, true})
      for (float far : {0.2f, 2.0f}) {
        const std::vector<double> v = dragAmongHandles(count, stacked, far, 7u + count);
        for (double x : v) ASSERT_LE(std::fabs(x), pose_text::kValueLimit) << count << stacked << far;
        EXPECT_LT(length(Vec3(v[0], v[1] - rootHeight, v[2])), far < 1 ? 0.2 : 0.9) << count << stacked << far;
      }
}
