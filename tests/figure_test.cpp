#include "figure/Figure.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace {

std::unique_ptr<Segment> seg(int index, Vec3 end, std::unique_ptr<Transform> joint) {
  return std::make_unique<Segment>(index, "s", end, std::move(joint));
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

TEST(Segment, StartsEmptyAndGrowsChildrenByDoubling) {
  Segment s(3, "h_test", Vec3(1, 2, 3), std::make_unique<IdentityTransform>());
  EXPECT_EQ(s.childCount(), 0);
  EXPECT_EQ(s.childCapacity(), 1);
  EXPECT_EQ(s.parent, nullptr);
  EXPECT_FALSE(s.hasShape);
  EXPECT_EQ(s.handleCount(), 0);
  EXPECT_STREQ(s.name, "h_test");
  for (int i = 0; i < 16; ++i) EXPECT_EQ(s.shape[i], Mat4()[i]);

  const int expectedCapacity[] = {1, 2, 4};
  Segment* added[3];
  for (int i = 0; i < 3; ++i) {
    added[i] = s.addChild(seg(10 + i, Vec3(), std::make_unique<IdentityTransform>()));
    EXPECT_EQ(s.childCapacity(), expectedCapacity[i]);
  }
  EXPECT_EQ(s.childCount(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(s.child(i), added[i]);
    EXPECT_EQ(s.child(i)->index, 10 + i);
    EXPECT_EQ(s.child(i)->parent, &s);
  }
}

TEST(Figure, NumbersDofsInPreOrder) {
  auto f = smallFigure();
  EXPECT_EQ(f->dofCount, 4);
  const std::vector<double> v = {0.5, 0.25, -1, 0.75};
  EXPECT_EQ(f->setDofs(f->root.get(), v.data(), false), 4);
  std::vector<double> back(4);
  EXPECT_EQ(f->getDofs(f->root.get(), back.data()), 4);
  EXPECT_EQ(back, v);
  // The subtree of the arm starts at its own joint's parameter.
  EXPECT_EQ(f->getDofs(f->root->child(0), back.data()), 1);
  EXPECT_EQ(back[0], 0.75);
}

TEST(Figure, EmptyJointGivesNoDofs) {
  Figure f(seg(0, Vec3(), std::make_unique<IdentityTransform>()));
  EXPECT_EQ(f.dofCount, 0);
  double guard = 42;
  EXPECT_EQ(f.setDofs(f.root.get(), &guard, true), 0);
  EXPECT_EQ(f.getDofs(f.root.get(), &guard), 0);
  EXPECT_EQ(guard, 42);
  f.updateHandlePositions();
  EXPECT_EQ(f.handleCount(), 0);
}

TEST(Figure, LimitSwitchReachesOnlyEachSegmentsOwnJoint) {
  auto f = smallFigure();
  std::vector<double> v = {0, 0, 0, 3.0};
  f->setDofs(f->root.get(), v.data(), false);
  EXPECT_EQ(f->dofs()[3], 3.0);
  f->setDofs(f->root.get(), v.data(), true);
  EXPECT_EQ(f->dofs()[3], 1.0);
  EXPECT_EQ(v[3], 3.0);
  EXPECT_EQ(f->root->joint->limitsEnabled, 1.0);
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

TEST(Handles, AddAndRemoveKeepBothListsConsistent) {
  auto f = smallFigure();
  Segment* arm = f->root->child(0);
  Handle a(0, 0, 0), b(1, 0, 0), c(0.5f, 0, 0);
  f->addHandle(&a, arm);
  f->addHandle(&b, arm);
  f->addHandle(&c, f->root.get());
  expectConsistent(*f);
  ASSERT_EQ(arm->handleCount(), 2);
  EXPECT_EQ(arm->handles.front(), &a);
  EXPECT_EQ(arm->handles.back(), &b);
  EXPECT_EQ(f->handles.back().handle, &c);

  f->removeHandle(&a);
  expectConsistent(*f);
  EXPECT_EQ(f->handleCount(), 2);
  EXPECT_EQ(arm->handles.front(), &b);

  Handle stranger;
  f->removeHandle(&stranger);
  f->removeHandle(&a);
  EXPECT_EQ(f->handleCount(), 2);

  f->removeHandle(&c);
  EXPECT_EQ(f->root->handleCount(), 0);
  f->removeHandle(&b);
  EXPECT_EQ(f->handleCount(), 0);
  EXPECT_EQ(arm->handleCount(), 0);
}

TEST(Handles, RemovingAHandleHeldTwiceTakesOnlyTheFirstEntry) {
  auto f = smallFigure();
  Segment* arm = f->root->child(0);
  Handle h, other;
  f->addHandle(&h, arm);
  f->addHandle(&other, arm);
  f->addHandle(&h, arm);
  f->removeHandle(&h);
  EXPECT_EQ(f->handleCount(), 2);
  ASSERT_EQ(arm->handleCount(), 2);
  EXPECT_EQ(arm->handles.front(), &other);
  EXPECT_EQ(arm->handles.back(), &h);
  expectConsistent(*f);
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

TEST(Handles, WorldPositionsFollowThePose) {
  auto f = smallFigure();
  Segment* arm = f->root->child(0);
  Handle tip(1, 0, 0);
  f->addHandle(&tip, arm);
  EXPECT_EQ(tip.worldPos.x, 0);  // not computed until asked
  f->updateHandlePositions();
  // The root is attached at its own end, the arm at the root's end.
  EXPECT_FLOAT_EQ(tip.worldPos.x, 1);
  EXPECT_FLOAT_EQ(tip.worldPos.y, 2);

  const std::vector<double> v = {2, 0, 0, 0.5};
  f->setDofs(f->root.get(), v.data(), false);
  f->updateHandlePositions();
  EXPECT_NEAR(tip.worldPos.x, 2 + std::cos(0.5), 1e-6);
  EXPECT_NEAR(tip.worldPos.y, 2 + std::sin(0.5), 1e-6);
  EXPECT_EQ(tip.targetPos.x, 0);
}
