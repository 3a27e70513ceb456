#include <gtest/gtest.h>

#include <list>
#include <set>
#include <stdexcept>

#include "ReferenceSolver.h"
#include "ik_test_util.h"

// The plain solver's records, which the program's pass never makes: their
// order, their weight rows and which derivatives they hold.
namespace {

const HandleJacobian& recordOf(const std::list<HandleJacobian>& records, const Handle* h) {
  for (const HandleJacobian& r : records) {
    if (r.handle == h) return r;
  }
  throw std::runtime_error("no record");
}

}  // namespace

TEST(ReferenceRecords, NoneWithoutHandles) {
  auto f = buildHumanoid();
  EXPECT_TRUE(reference::records(*f).empty());
}

TEST(ReferenceRecords, NewestFirstAndCarryTheSegmentsRow) {
  auto f = buildHumanoid();
  Pins pins(*f);
  Handle* rootHandle = pins.add("root", Vec3());
  Handle* hand = pins.atEnd("h_hand_left");
  Handle* thigh = pins.atEnd("h_thigh_right");
  const std::list<HandleJacobian> records = reference::records(*f);
  ASSERT_EQ(records.size(), 3u);
  // Made in pre-order (root, right leg, left arm) and inserted at the head.
  auto it = records.begin();
  EXPECT_EQ(it->handle, hand);
  EXPECT_EQ(it->weightRow, 16);
  EXPECT_EQ((++it)->handle, thigh);
  EXPECT_EQ(it->weightRow, 7);
  EXPECT_EQ((++it)->handle, rootHandle);
  EXPECT_EQ(it->weightRow, 0);
  // The record's world matrix puts the handle where the forward pass did.
  for (const HandleJacobian& r : records) {
    const Vec3 x = transformPoint(r.world, r.localPos);
    EXPECT_EQ(x.x, r.handle->worldPos.x);
    EXPECT_EQ(x.y, r.handle->worldPos.y);
    EXPECT_EQ(x.z, r.handle->worldPos.z);
  }
}

TEST(ReferenceRecords, DerivativesAreZeroForDofsThatDoNotMoveTheSegment) {
  auto f = buildHumanoid();
  Pins pins(*f);
  Handle* hand = pins.atEnd("h_hand_left");
  Handle* rootHandle = pins.add("root", Vec3(0.05f, 0, 0.1f));
  const std::list<HandleJacobian> records = reference::records(*f);

  std::set<int> handDofs;
  for (int i = 0; i <= 6; ++i) handDofs.insert(i);
  for (int i = 21; i <= 24; ++i) handDofs.insert(i);
  for (int i = 33; i <= 41; ++i) handDofs.insert(i);
  const HandleJacobian& hr = recordOf(records, hand);
  for (int k = 0; k < 51; ++k) {
    if (!handDofs.count(k)) {
      EXPECT_TRUE(hr.dofDerivatives[k].isZero()) << "DOF " << k;
    } else if (k != 6 && k != 24) {  // w of an identity quaternion moves nothing
      EXPECT_FALSE(hr.dofDerivatives[k].isZero()) << "DOF " << k;
    }
  }

  const HandleJacobian& rr = recordOf(records, rootHandle);
  for (int k = 7; k < 51; ++k) EXPECT_TRUE(rr.dofDerivatives[k].isZero()) << "DOF " << k;
  for (int k = 0; k <= 5; ++k) EXPECT_FALSE(rr.dofDerivatives[k].isZero()) << "DOF " << k;
}
