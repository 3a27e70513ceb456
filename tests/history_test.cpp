// Saving and restoring a figure's state, and the history of editing steps:
// a restored figure must behave bit for bit as the saved one did.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <iterator>

#include "document/StepHistory.h"
#include "pose/FigureState.h"
#include "ik/Solver.h"
#include "ik_test_util.h"
#include "random_figure.h"

// ---- joints: restored as held, not set again, which would clamp a hinge
// beyond its limits (as the chain's is) or normalise a quaternion

TEST(JointState, ARestoreGivesBackWhatWasHeldBitForBit) {
  QuatRotation ball;
  ball.q = Quat(0.0, 0.6, 0.0, 1.6);  // as held: not of unit length
  auto chain = TransformChain::of(std::make_unique<Translation>(0.1f, 0.2f, 0.3f),
                                  std::make_unique<AxisRotation>(0, 3.0, -1.0, 1.0),
                                  std::make_unique<QuatRotation>(0.3, -0.2, 0.9));
  const Mat4 before = *chain->matrix(), asHeld = Quat(0.0, 0.6, 0.0, 1.6).toMatrix();
  std::vector<double> savedBall, saved, again;
  ball.saveState(savedBall);
  chain->saveState(saved);
  const double elsewhere[8] = {1, 2, 3, 0.5, 0.1, 0.2, 0.3, 0.4};
  ball.setParams(elsewhere);
  chain->setParams(elsewhere);
  ball.restoreState(savedBall.data());
  EXPECT_TRUE(ball.q.y == 0.6 && ball.q.w == 1.6 && sameBits(ball.matrix(), &asHeld, sizeof(Mat4)));
  EXPECT_EQ(chain->restoreState(saved.data()), saved.data() + saved.size());
  EXPECT_TRUE(sameBits(chain->matrix(), &before, sizeof(Mat4)));
  // The limits switches come back too.
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
    // Where the dragged handle is first listed.
    const auto draggedEntry = std::distance(f.handles.begin(), std::find_if(f.handles.begin(), f.handles.end(),
                                            [&](const HandleEntry& e) { return e.handle == dragged; }));

    const FigureState saved = saveState(f);
    const bool limits = f.limitsEnabled;  // a setting, not part of the state
    const SolveResult first = f.solve(dragged);
    const FigureState solved = saveState(f);
    r.editAtRandom();
    records = restoreState(f, saved);
    f.limitsEnabled = limits;
    ASSERT_TRUE(saveState(f) == saved);
    // The figure holds the restored records, none of the handles it had.
    for (const HandleEntry& e : f.handles)
      EXPECT_TRUE(std::any_of(records.begin(), records.end(), [&](auto& h) { return h.get() == e.handle; }));
    const Handle* again = dragged ? std::next(f.handles.begin(), draggedEntry)->handle : nullptr;
    const SolveResult second = f.solve(again);
    EXPECT_EQ(first.iterations, second.iterations);
    EXPECT_TRUE(sameBits(&first.norm, &second.norm, sizeof(float)));
    EXPECT_TRUE(saveState(f) == solved) << "handles or joints differ after the same solve";
    if (HasFailure()) return;
  }
}

// ---- the history of steps; what the document makes of them (an unchanged
// state is no step, a new step drops those that could have been redone) is
// document_test's

// A handle listed twice is one record with two pins, and comes back as one
// handle; any field of a handle, any pin and any joint bit makes another state.
TEST(FigureStateBytes, EveryChangeMakesAnotherState) {
  RandomFigure r(5);
  r.addHandle();
  r.addTwice();
  const FigureState saved = saveState(r.figure());
  ASSERT_EQ(std::make_pair(saved.records.size(), saved.pins.size()), std::make_pair(std::size_t(1), std::size_t(2)));
  const auto records = restoreState(r.figure(), saved);
  EXPECT_EQ(records.size(), 1u);
  EXPECT_EQ(r.figure().handles.front().handle, r.figure().handles.back().handle);
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

// At either bound every step is kept; one step or one byte past it, the
// oldest goes. Undo walks back through the kept states bit for bit, redo
// forward again. A humanoid's state is counted by hand: three vectors of 24
// bytes; the joints' 86 doubles (51 parameters, 21 limits switches and those
// of the two elements of each of the seven chains: the root, the feet, the
// scapulas and the forearms); and per handle a record of nine floats and a
// pin of 16 bytes.
TEST(History, KeepsExactlyAsManyStepsAndBytesAsItsBounds) {
  auto f = buildHumanoid();
  EXPECT_EQ(saveState(*f).bytes(), 72u + 86 * 8);
  Pins pins(*f);
  Handle* h = pins.atEnd("h_hand_left");
  const std::size_t one = saveState(*f).bytes(), any = StepHistory<FigureState>::kDefaultByteBound;
  EXPECT_EQ(one, 72u + 86 * 8 + 52);
  // The bounds, the steps made, those kept; each step keeps the state's size.
  for (const auto& [bound, byteBound, made, kept] : std::vector<std::array<std::size_t, 4>>{
           {4, any, 4, 4}, {4, any, 5, 4}, {1000, 3 * one, 2, 2}, {1000, 3 * one - 1, 2, 1}}) {
    SCOPED_TRACE(testing::Message() << made << " made, " << kept << " kept");
    StepHistory<FigureState> history(saveState(*f), bound, byteBound);
    std::vector<FigureState> states{history.current()};
    for (std::size_t i = 0; i < made; ++i) {
      h->targetPos.x += 1.0f;
      states.push_back(saveState(*f));
      EXPECT_TRUE(history.record(states.back()));
    }
    EXPECT_EQ(history.undoCount(), kept);
    EXPECT_EQ(history.bytes(), (kept + 1) * one);
    for (std::size_t i = made; i-- > made - kept;) EXPECT_TRUE(*history.undo() == states[i]) << i;
    EXPECT_EQ(history.undo(), nullptr);
    for (std::size_t i = made - kept + 1; i <= made; ++i) EXPECT_TRUE(*history.redo() == states[i]) << i;
    EXPECT_EQ(history.redo(), nullptr);
  }
}
