#include "figure/Figure.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "figure/RaySphere.h"
#include "humanoid/Humanoid.h"

namespace {

std::unique_ptr<Segment> seg(int index, Vec3 end, std::unique_ptr<Transform> joint) {
  return std::make_unique<Segment>(index, "s", end, std::move(joint));
}

// A segment drawn as a ball about its origin.
std::unique_ptr<Segment> ball(int index, const char* name, Vec3 end, float radius) {
  auto s = std::make_unique<Segment>(index, name, end, std::make_unique<IdentityTransform>());
  s->shape = scaleMatrix(2 * radius, 2 * radius, 2 * radius);
  s->hasShape = true;
  return s;
}

// root (translation) -> arm (hinge about z) -> hand (no DOF)
std::unique_ptr<Figure> smallFigure() {
  auto root = seg(0, Vec3(0, 1, 0), std::make_unique<Translation>(0, 0, 0));
  Segment* arm = root->addChild(seg(1, Vec3(1, 0, 0), std::make_unique<AxisRotation>(2, 0.0, -1, 1)));
  arm->addChild(seg(2, Vec3(0, 0, 0), std::make_unique<IdentityTransform>()));
  auto f = std::make_unique<Figure>(std::move(root));
  for (auto& row : f->dofWeights) row.assign(f->dofCount, 1.0);
  return f;
}

// The figure's list and the segments' lists hold the same handles.
void expectConsistent(const Figure& f) {
  int sum = 0;
  for (Segment* s : f.segments()) sum += s->handleCount();
  EXPECT_EQ(sum, f.handleCount());
  for (const HandleEntry& e : f.handles) {
    int inSegment = 0;
    for (Handle* h : e.segment->handles) inSegment += h == e.handle;
    EXPECT_GE(inSegment, 1);
  }
}

}  // namespace

// The DOFs in pre-order; the limit switch of a write reaches each segment's
// own joint and leaves the array alone; a figure without DOFs reads none.
TEST(Figure, NumbersDofsInPreOrder) {
  auto f = smallFigure();
  EXPECT_EQ(f->dofCount, 4);
  std::vector<double> v = {0.5, 0.25, -1, 0.75};
  EXPECT_EQ(f->setDofs(f->root.get(), v.data(), false), 4);
  std::vector<double> back(4);
  EXPECT_EQ(f->getDofs(f->root.get(), back.data()), 4);
  EXPECT_EQ(back, v);
  // The subtree of the arm starts at its own joint's parameter.
  EXPECT_EQ(f->getDofs(f->root->child(0), back.data()), 1);
  EXPECT_EQ(back[0], 0.75);

  v[3] = 3.0;
  f->setDofs(f->root.get(), v.data(), false);
  EXPECT_EQ(f->dofs()[3], 3.0);
  f->setDofs(f->root.get(), v.data(), true);
  EXPECT_EQ(std::make_pair(f->dofs()[3], v[3]), std::make_pair(1.0, 3.0));
  EXPECT_EQ(f->root->joint->limitsEnabled, 1.0);

  Figure empty(seg(0, Vec3(), std::make_unique<IdentityTransform>()));
  double guard = 42;
  EXPECT_EQ(std::make_pair(empty.dofCount, empty.setDofs(empty.root.get(), &guard, true)), std::make_pair(0, 0));
  EXPECT_EQ(empty.getDofs(empty.root.get(), &guard), 0);
  EXPECT_EQ(guard, 42);
}

TEST(Figure, ConstructionCollectsHandlesAlreadyOnTheSegmentsInPreOrder) {
  auto root = seg(0, Vec3(0, 1, 0), std::make_unique<IdentityTransform>());
  Segment* a = root->addChild(seg(1, Vec3(), std::make_unique<IdentityTransform>()));
  Segment* b = root->addChild(seg(2, Vec3(), std::make_unique<IdentityTransform>()));
  Handle h1, h2, h3, h4;
  b->handles.push_back(&h4);
  a->handles.push_back(&h2);
  a->handles.push_back(&h3);
  root->handles.push_back(&h1);
  Figure f(std::move(root));
  ASSERT_EQ(f.handleCount(), 4);
  const Handle* order[] = {&h1, &h2, &h3, &h4};
  int i = 0;
  for (const HandleEntry& e : f.handles) EXPECT_EQ(e.handle, order[i++]);
  EXPECT_EQ(f.segmentOf(&h4), b);
}

// Handles join at the end of both lists; a removal takes the first entry of
// the handle (one held twice keeps its second) and ignores a stranger.
TEST(Handles, AddAndRemoveKeepBothListsInOrder) {
  auto f = smallFigure();
  Segment* arm = f->root->child(0);
  Handle a, b, c, stranger;
  f->addHandle(&a, arm);
  f->addHandle(&b, arm);
  f->addHandle(&c, f->root.get());
  f->addHandle(&a, arm);
  EXPECT_EQ(f->handles.back().handle, &a);
  f->removeHandle(&a);
  f->removeHandle(&stranger);
  ASSERT_EQ(arm->handleCount(), 2);
  EXPECT_EQ(std::make_pair(arm->handles.front(), arm->handles.back()), std::make_pair(&b, &a));
  EXPECT_EQ(f->handles.front().handle, &b);
  expectConsistent(*f);
  for (Handle* h : {&c, &a, &b}) f->removeHandle(h);
  EXPECT_EQ(std::make_tuple(f->handleCount(), arm->handleCount(), f->root->handleCount()), std::make_tuple(0, 0, 0));
}

TEST(Handles, RandomAddRemoveSequencesStayConsistent) {
  auto f = smallFigure();
  std::vector<Segment*> segs = f->segments();
  std::vector<Handle> pool(12);
  std::mt19937 rng(7);
  for (int step = 0; step < 2000; ++step) {
    Handle* h = &pool[rng() % pool.size()];
    if (rng() % 2) {
      f->addHandle(h, segs[rng() % segs.size()]);
    } else {
      f->removeHandle(h);
    }
    expectConsistent(*f);
  }
}

TEST(RaySphere, HitsMissesAndInside) {
  Vec3 hit(9, 9, 9);
  double t = -1;
  // Touching the sphere is not hitting it, and writes nothing.
  EXPECT_FALSE(raySphere(Vec3(-1, 0.5f, 0), Vec3(1, 0.5f, 0), hit, t));
  EXPECT_EQ(hit.x, 9);
  EXPECT_EQ(t, -1);
  // Behind the start point.
  EXPECT_FALSE(raySphere(Vec3(2, 0, 0), Vec3(3, 0, 0), hit, t));
  // From outside: the near side.
  ASSERT_TRUE(raySphere(Vec3(-2, 0, 0), Vec3(2, 0, 0), hit, t));
  EXPECT_DOUBLE_EQ(t, 0.375);
  EXPECT_FLOAT_EQ(hit.x, -0.5f);
  // From inside: the far side.
  ASSERT_TRUE(raySphere(Vec3(0, 0, 0), Vec3(1, 0, 0), hit, t));
  EXPECT_DOUBLE_EQ(t, 0.5);
  EXPECT_FLOAT_EQ(hit.x, 0.5f);
  // No bound at t = 1: a sphere beyond the end point still counts.
  ASSERT_TRUE(raySphere(Vec3(-10, 0, 0), Vec3(-9, 0, 0), hit, t));
  EXPECT_NEAR(t, 9.5, 1e-9);
}

TEST(Pick, NearestOfTwoBodiesAlongTheRay) {
  auto f = buildHumanoid();
  // Through both thighs at mid-height, from the figure's left and from its right.
  const SurfaceHit fromLeft = f->pickRay(Vec3(0, 0.6f, 5), Vec3(0, 0.6f, -5));
  ASSERT_NE(fromLeft.segment, nullptr);
  EXPECT_STREQ(fromLeft.segment->name, "h_thigh_left");
  const SurfaceHit fromRight = f->pickRay(Vec3(0, 0.6f, -5), Vec3(0, 0.6f, 5));
  ASSERT_NE(fromRight.segment, nullptr);
  EXPECT_STREQ(fromRight.segment->name, "h_thigh_right");
  // Past the body: nothing.
  const SurfaceHit miss = f->pickRay(Vec3(0, 3, 5), Vec3(0, 3, -5));
  EXPECT_EQ(miss.segment, nullptr);
  EXPECT_EQ(miss.point.x, 0);
}

TEST(Pick, TiesGoToTheSegmentVisitedFirst) {
  auto root = ball(0, "first", Vec3(), 0.5f);
  root->addChild(ball(1, "second", Vec3(), 0.5f));
  root->addChild(ball(2, "third", Vec3(), 0.5f));
  Figure f(std::move(root));
  const SurfaceHit hit = f.pickRay(Vec3(-3, 0, 0), Vec3(3, 0, 0));
  ASSERT_NE(hit.segment, nullptr);
  EXPECT_STREQ(hit.segment->name, "first");
}

TEST(Pick, ShapelessSegmentsAreNeverHitButTheirChildrenAre) {
  auto root = std::make_unique<Segment>(0, "line", Vec3(0, 0, 0), std::make_unique<IdentityTransform>());
  root->addChild(ball(1, "behind", Vec3(), 0.1f))->endOffset = Vec3();
  Figure f(std::move(root));
  f.root->child(0)->joint = std::make_unique<Translation>(0, 0, -2);
  // The ray passes right through the shapeless root's origin.
  const SurfaceHit hit = f.pickRay(Vec3(0, 0, 5), Vec3(0, 0, -5));
  ASSERT_NE(hit.segment, nullptr);
  EXPECT_STREQ(hit.segment->name, "behind");
  EXPECT_NEAR(hit.point.z, 0.1f, 1e-5);
}

TEST(Pick, ASingularShapeFallsBackToTheUnitBallAtTheWorldOrigin) {
  auto root = ball(0, "flat", Vec3(), 0.5f);
  root->shape = scaleMatrix(1, 0, 1);  // no inverse
  root->joint = std::make_unique<Translation>(5, 0, 0);
  Figure f(std::move(root));
  EXPECT_EQ(f.pickRay(Vec3(5, 0, 3), Vec3(5, 0, -3)).segment, nullptr);
  EXPECT_NE(f.pickRay(Vec3(0, 0, 3), Vec3(0, 0, -3)).segment, nullptr);
}
