// Saving and restoring a figure's state, and the history of editing steps:
// a restored figure must behave bit for bit as the saved one did.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>

#include "document/StepHistory.h"
#include "pose/FigureState.h"
#include "ik/Solver.h"
#include "ik_test_util.h"
#include "random_figure.h"

namespace {

// What a solve leaves behind, for comparing two solves bit for bit.
struct Outcome {
  SolveResult result;
  std::vector<double> dofs;
  FigureState state;
};

Outcome solveFrom(Figure& f, const Handle* dragged) {
  const SolveResult r = f.solve(dragged);
  return {r, f.dofs(), saveState(f)};
}

void expectSameOutcome(const Outcome& a, const Outcome& b) {
  EXPECT_EQ(a.result.iterations, b.result.iterations);
  EXPECT_TRUE(sameBits(&a.result.norm, &b.result.norm, sizeof(float)));
  EXPECT_TRUE(sameVectors(a.dofs, b.dofs));
  EXPECT_TRUE(a.state == b.state) << "handles or joints differ after the same solve";
}

// The handle of the figure's n-th handle entry.
Handle* entry(const Figure& f, std::ptrdiff_t n) { return std::next(f.handles.begin(), n)->handle; }

// Where a handle is first listed among the figure's handles.
std::ptrdiff_t firstEntryOf(const Figure& f, const Handle* h) {
  return std::distance(f.handles.begin(), std::find_if(f.handles.begin(), f.handles.end(),
                                                       [h](const HandleEntry& e) { return e.handle == h; }));
}

}  // namespace

// ---- single joints: restored as held, not set again

TEST(JointState, AHingeBeyondItsLimitsComesBackUnclamped) {
  // A hinge may start outside its limits; setting its angle again would clamp.
  AxisRotation hinge(2, 2.0, -1.0, 1.0);
  std::vector<double> saved;
  hinge.saveState(saved);
  const double half = 0.5;
  hinge.setParams(&half);
  EXPECT_EQ(hinge.restoreState(saved.data()), saved.data() + saved.size());
  EXPECT_EQ(hinge.angle, 2.0);
  EXPECT_EQ(hinge.limitsEnabled, 1.0);
  EXPECT_EQ(0, std::memcmp(hinge.matrix(), AxisRotation(2, 2.0, -1.0, 1.0).matrix(), sizeof(Mat4)));
}

TEST(JointState, AQuaternionIsNotNormalisedAgain) {
  QuatRotation ball;
  ball.q = Quat(0.0, 0.6, 0.0, 1.6);  // as held: not of unit length
  std::vector<double> saved;
  ball.saveState(saved);
  const double other[4] = {0.1, 0.2, 0.3, 0.4};
  ball.setParams(other);
  ball.restoreState(saved.data());
  EXPECT_EQ(ball.q.y, 0.6);
  EXPECT_EQ(ball.q.w, 1.6);
  const Mat4 asHeld = Quat(0.0, 0.6, 0.0, 1.6).toMatrix();
  EXPECT_EQ(0, std::memcmp(ball.matrix(), &asHeld, sizeof(Mat4)));
}

TEST(JointState, AChainRestoresEveryElementAndItsProduct) {
  auto chain = TransformChain::of(std::make_unique<Translation>(0.1f, 0.2f, 0.3f),
                                  std::make_unique<AxisRotation>(0, 3.0, -1.0, 1.0),
                                  std::make_unique<QuatRotation>(0.3, -0.2, 0.9));
  const Mat4 before = *chain->matrix();
  std::vector<double> saved;
  chain->saveState(saved);
  const double elsewhere[8] = {1, 2, 3, 0.5, 0.1, 0.2, 0.3, 0.4};
  chain->setParams(elsewhere);
  EXPECT_EQ(chain->restoreState(saved.data()), saved.data() + saved.size());
  EXPECT_EQ(0, std::memcmp(chain->matrix(), &before, sizeof(Mat4)));
  std::vector<double> again;
  chain->saveState(again);
  EXPECT_EQ(again, saved);
}

// ---- whole figures

TEST(FigureState, RestoredRandomFiguresSolveAsTheSavedOnesDid) {
  for (std::uint32_t seed = 1; seed <= 300; ++seed) {
    SCOPED_TRACE(testing::Message() << "figure seed " << seed);
    std::vector<std::unique_ptr<Handle>> records;  // outlives the figure's use of them
    RandomFigure r(seed);
    r.editAtRandom();
    r.aimEveryHandle();
    Figure& f = r.figure();
    f.updateHandlePositions();
    Handle* dragged = r.anyHandle();
    const std::ptrdiff_t draggedEntry = firstEntryOf(f, dragged);

    const FigureState saved = saveState(f);
    const bool limits = f.limitsEnabled;  // a setting, not part of the state
    const Outcome first = solveFrom(f, dragged);
    r.editAtRandom();
    records = restoreState(f, saved);
    f.limitsEnabled = limits;
    ASSERT_TRUE(saveState(f) == saved);
    // The figure holds the restored records, none of the handles it had.
    for (const HandleEntry& e : f.handles) {
      EXPECT_TRUE(std::any_of(records.begin(), records.end(), [&](auto& h) { return h.get() == e.handle; }));
    }
    const Handle* again = dragged ? entry(f, draggedEntry) : nullptr;
    expectSameOutcome(first, solveFrom(f, again));
    if (HasFailure()) return;
  }
}

TEST(FigureState, AHandleListedTwiceStaysOneRecord) {
  RandomFigure r(7);
  Handle* h = r.addHandle();
  r.figure().addHandle(h, r.figure().handles.front().segment);
  const FigureState saved = saveState(r.figure());
  ASSERT_EQ(saved.records.size(), 1u);
  ASSERT_EQ(saved.pins.size(), 2u);

  auto records = restoreState(r.figure(), saved);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(r.figure().handles.front().handle, r.figure().handles.back().handle);
  EXPECT_EQ(r.figure().handles.front().segment->handleCount(), 2);
}

// ---- the history of steps

class History : public testing::Test {
 protected:
  // Records a state after each of count edits of the figure, random ones
  // unless given; returns the initial state and those.
  std::vector<FigureState> steps(StepHistory<FigureState>& history, int count, const std::function<void()>& edit = {}) {
    std::vector<FigureState> states{history.current()};
    for (int i = 0; i < count; ++i) {
      edit ? edit() : r.editAtRandom();
      states.push_back(saveState(r.figure()));
      EXPECT_TRUE(history.record(states.back()));
    }
    return states;
  }

  std::vector<std::unique_ptr<Handle>> records;
  RandomFigure r{11};
};

TEST_F(History, UndoAndRedoGiveBackEveryStateBitForBit) {
  StepHistory<FigureState> history(saveState(r.figure()));
  const std::vector<FigureState> states = steps(history, 6);
  for (int i = 5; i >= 0; --i) {
    const FigureState* back = history.undo();
    ASSERT_NE(back, nullptr);
    records = restoreState(r.figure(), *back);
    EXPECT_TRUE(saveState(r.figure()) == states[i]) << "after undoing to state " << i;
  }
  EXPECT_EQ(history.undo(), nullptr);
  for (int i = 1; i <= 6; ++i) {
    const FigureState* forward = history.redo();
    ASSERT_NE(forward, nullptr);
    records = restoreState(r.figure(), *forward);
    EXPECT_TRUE(saveState(r.figure()) == states[i]) << "after redoing to state " << i;
  }
  EXPECT_EQ(history.redo(), nullptr);
}

TEST_F(History, AnUnchangedFigureIsNoStep) {
  StepHistory<FigureState> history(saveState(r.figure()));
  EXPECT_FALSE(history.record(saveState(r.figure())));
  EXPECT_EQ(history.undoCount(), 0u);
}

TEST_F(History, ANewStepAfterAnUndoDropsTheRedoBranch) {
  StepHistory<FigureState> history(saveState(r.figure()));
  const std::vector<FigureState> states = steps(history, 3);
  history.undo();
  history.undo();
  ASSERT_EQ(history.redoCount(), 2u);
  r.figure().limitsEnabled = false;
  r.aimEveryHandle();
  r.addHandle();
  r.figure().solve(nullptr);
  ASSERT_TRUE(history.record(saveState(r.figure())));
  EXPECT_EQ(history.redoCount(), 0u);
  EXPECT_EQ(history.redo(), nullptr);
  EXPECT_TRUE(*history.undo() == states[1]);
}

// Counted by hand: three vectors of 24 bytes; the joints' 86 doubles (51
// parameters, 21 limits switches and those of the two elements of each of the
// seven chains: the root, the feet, the scapulas and the forearms); and per
// handle a record of nine floats and a pin of 16 bytes.
TEST(FigureStateBytes, AHumanoidStepHolds760BytesAnd52MorePerHandle) {
  auto f = buildHumanoid();
  EXPECT_EQ(saveState(*f).bytes(), 72u + 86 * 8);
  Pins pins(*f);
  for (int i = 0; i < 20; ++i) pins.atEnd(i % 2 ? "h_hand_left" : "h_foot_right");
  EXPECT_EQ(saveState(*f).bytes(), 1800u);
}

// Any field of a handle, any pin and any joint bit makes another state.
TEST(FigureStateBytes, EveryChangeMakesAnotherState) {
  RandomFigure r(5);
  r.addHandle();
  r.addTwice();
  const FigureState saved = saveState(r.figure());
  std::vector<std::function<void(FigureState&)>> changes = {
      [](FigureState& s) { s.records[0].targetPos.z = std::nextafter(s.records[0].targetPos.z, 1.0f); },
      [](FigureState& s) { s.records[0].localPos.x = -s.records[0].localPos.x; },
      [](FigureState& s) { s.records[0].worldPos.y += 1.0f; },
      [](FigureState& s) { s.pins[1].record = 1 - s.pins[1].record; },
      [](FigureState& s) { s.pins[0].segment = s.pins[0].segment->parent; },
      [](FigureState& s) { s.pins.pop_back(); },
      [](FigureState& s) { s.joints.back() = std::nextafter(s.joints.back(), 2.0); },
  };
  for (size_t i = 0; i < changes.size(); ++i) {
    FigureState changed = saved;
    changes[i](changed);
    EXPECT_FALSE(changed == saved) << "change " << i;
  }
}

class Bounds : public History {
 protected:
  // Steps that keep the state's size: the same handles, one target moved.
  std::vector<FigureState> steps(StepHistory<FigureState>& history, int count) {
    return History::steps(history, count, [this] { r.figure().handles.front().handle->targetPos.x += 1.0f; });
  }
  // The oldest state still kept.
  static const FigureState& oldest(StepHistory<FigureState>& history) {
    const FigureState* kept = &history.current();
    while (const FigureState* s = history.undo()) kept = s;
    return *kept;
  }
  Bounds() { r.addHandle(); }
};

TEST_F(Bounds, KeepsExactlyAsManyStepsAsItsBound) {
  StepHistory<FigureState> atBound(saveState(r.figure()), 4);
  std::vector<FigureState> states = steps(atBound, 4);
  EXPECT_EQ(atBound.undoCount(), 4u);
  EXPECT_TRUE(oldest(atBound) == states[0]);
  StepHistory<FigureState> past(saveState(r.figure()), 4);
  states = steps(past, 5);
  EXPECT_EQ(past.undoCount(), 4u);
  EXPECT_TRUE(oldest(past) == states[1]);
}

TEST_F(Bounds, KeepsExactlyAsManyBytesAsItsByteBound) {
  const std::size_t one = saveState(r.figure()).bytes();
  StepHistory<FigureState> atBound(saveState(r.figure()), 1000, 3 * one);
  steps(atBound, 2);
  EXPECT_EQ(atBound.undoCount(), 2u);
  EXPECT_EQ(atBound.bytes(), 3 * one);
  StepHistory<FigureState> past(saveState(r.figure()), 1000, 3 * one - 1);
  const std::vector<FigureState> states = steps(past, 2);
  EXPECT_EQ(past.undoCount(), 1u);
  EXPECT_EQ(past.bytes(), 2 * one);
  EXPECT_TRUE(oldest(past) == states[1]);
}
