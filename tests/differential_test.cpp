#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "ReferenceSolver.h"
#include "humanoid/Humanoid.h"
#include "ik/GradientPass.h"
#include "ik_test_util.h"
#include "random_figure.h"

namespace {

std::vector<Vec3> positions(const Figure& f) {
  std::vector<Vec3> all;
  for (const HandleEntry& e : f.handles) all.push_back(e.handle->worldPos);
  return all;
}

// Who solves: the plain solver, or the program's with its pass's AVX2 or
// portable build.
enum class Solver { Plain, Wide, Portable };

// The plain solver and every build of the program's pass that this processor
// runs, each on its own copy of the same figure. With MANNEQUIN_DIGEST_ONLY=1,
// the program's builds alone, in a fraction of the time: the portable one's
// digest, which scripts/compare-digests.sh compares with this machine's
// native run, where the plain solver checks it.
std::vector<Solver> solvers() {
  const char* only = std::getenv("MANNEQUIN_DIGEST_ONLY");
  std::vector<Solver> who;
  if (!(only && std::strcmp(only, "1") == 0)) who.push_back(Solver::Plain);
  if (GradientPass::useWideInstructions(true)) who.push_back(Solver::Wide);
  who.push_back(Solver::Portable);
  return who;
}

// What one solve gave: the gradient before it, its result, and the DOFs and
// handle positions after it.
struct Outcome {
  std::vector<float> gradient;
  SolveResult result;
  std::vector<double> dofs;
  std::vector<Vec3> positions;
};

Outcome solveWith(Solver solver, Figure& f, const Handle* dragged) {
  Outcome o;
  printedBy([&] {
    if (solver == Solver::Plain) {
      o.gradient = reference::gradient(f, dragged);
      o.result = reference::solve(f, dragged);
    } else {
      GradientPass::useWideInstructions(solver == Solver::Wide);
      o.gradient = evaluateGradient(f, dragged);
      o.result = f.solve(dragged);
      GradientPass::useWideInstructions(true);
    }
  });
  o.dofs = f.dofs();
  o.positions = positions(f);
  return o;
}

// Every solver's outcome equals the first's to the bit.
testing::AssertionResult allAlike(const std::vector<Outcome>& outcomes) {
  const Outcome& a = outcomes.front();
  for (size_t i = 1; i < outcomes.size(); ++i) {
    const Outcome& b = outcomes[i];
    auto failure = [&] { return testing::AssertionFailure() << "solver " << i << ": "; };
    if (!sameVectors(a.gradient, b.gradient)) return failure() << "gradient";
    if (a.result.iterations != b.result.iterations)
      return failure() << "iterations " << b.result.iterations << " vs " << a.result.iterations;
    if (!sameBits(&a.result.norm, &b.result.norm, sizeof(float)))
      return failure() << "norm " << b.result.norm << " vs " << a.result.norm;
    if (!sameVectors(a.dofs, b.dofs)) return failure() << "DOFs";
    if (!sameVectors(a.positions, b.positions)) return failure() << "handle positions";
  }
  return testing::AssertionSuccess();
}

void add(Digest& digest, const Outcome& o) {
  digest.add(o.gradient);
  digest.add(&o.result.iterations, sizeof o.result.iterations);
  digest.add(&o.result.norm, sizeof o.result.norm);
  digest.add(o.dofs);
  digest.add(o.positions);
}

// The same random handles on copies of the humanoid, one per solver.
struct Humanoids {
  explicit Humanoids(size_t n) {
    for (size_t i = 0; i < n; ++i) figures.push_back(buildHumanoid());
  }
  void addHandle(size_t segment, Vec3 local) {
    std::vector<Handle*> row;
    for (auto& f : figures) {
      owned.push_back(std::make_unique<Handle>(local.x, local.y, local.z));
      f->addHandle(owned.back().get(), f->segments()[segment]);
      row.push_back(owned.back().get());
    }
    handles.push_back(row);
  }
  std::vector<std::unique_ptr<Figure>> figures;
  std::vector<std::vector<Handle*>> handles;  // per handle, its copy on each figure
  std::vector<std::unique_ptr<Handle>> owned;
};

// Seeds of the random figures of one half: 400 each; MANNEQUIN_FIGURE_SEED=N
// replays figure N alone.
std::vector<std::uint32_t> figureSeeds(int half) {
  const std::uint32_t first = 1000 + 400 * half, end = first + 400;
  if (const char* one = std::getenv("MANNEQUIN_FIGURE_SEED")) {
    const auto seed = static_cast<std::uint32_t>(std::stoul(one));
    if (first <= seed && seed < end) return {seed};
    return {};
  }
  std::vector<std::uint32_t> seeds;
  for (std::uint32_t seed = first; seed < end; ++seed) seeds.push_back(seed);
  return seeds;
}

// The same figure once per solver. Every change is made to each through the
// same calls, so that their random streams stay in step.
struct RandomFigures {
  RandomFigures(std::uint32_t seed, size_t n) : script(seed * 7919u + 1) {
    for (size_t i = 0; i < n; ++i) copies.push_back(std::make_unique<RandomFigure>(seed));
  }

  template <typename Change>
  void each(Change change) {
    for (auto& r : copies) change(*r);
  }

  // Handles, weights and settings changed as a user would between drags.
  void changeSomething() {
    using Change = void (*)(RandomFigure&);
    static const Change changes[] = {
        [](RandomFigure& r) { r.addHandle(); },  // twice as often as the others
        [](RandomFigure& r) { r.addHandle(); },
        [](RandomFigure& r) { r.addTwice(); },
        [](RandomFigure& r) { r.removeHandle(); },
        [](RandomFigure& r) { r.scrambleWeights(); },
        [](RandomFigure& r) { r.figure().setLimbWeights(); },
        [](RandomFigure& r) { r.figure().setUniformWeights(); },
    };
    const unsigned kind = script() % 8;
    if (kind < 7) {
      each(changes[kind]);
      return;
    }
    const bool limits = script() % 2;
    const double tolerance = std::array<double, 3>{0.01, 0.001, 0.0001}[script() % 3];
    each([&](RandomFigure& r) {
      r.figure().limitsEnabled = limits;
      r.figure().tolerance = tolerance;
    });
  }

  // Picks the dragged handle (or none) on each copy and moves its target near
  // where it is.
  std::vector<Handle*> drag() {
    std::vector<Handle*> dragged(copies.size(), nullptr);
    if (script() % 6 == 0) return dragged;
    for (size_t i = 0; i < copies.size(); ++i) dragged[i] = copies[i]->anyHandle();
    if (!dragged[0]) return dragged;
    copies[0]->figure().updateHandlePositions();
    std::uniform_real_distribution<float> offset(-0.5f, 0.5f);
    const float x = offset(script), y = offset(script), z = offset(script);
    const Vec3 target = dragged[0]->worldPos + Vec3(x, y, z);
    for (Handle* h : dragged) h->targetPos = target;
    return dragged;
  }

  std::vector<std::unique_ptr<RandomFigure>> copies;
  std::mt19937 script;
};

// The two long comparisons each come in two halves, which run side by side.
class Half : public testing::TestWithParam<int> {};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Differential, Half, testing::Values(0, 1));

TEST_P(Half, FastSolverMatchesThePlainOneBitForBit) {
  const std::vector<Solver> who = solvers();
  const int firstScene = 20 * GetParam();
  std::mt19937 rng(20261208 + firstScene);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  // Drawn in order: the order in which a call's arguments are evaluated
  // differs between compilers and machines, and with it the scenes.
  auto draw = [&] {
    const float x = unit(rng), y = unit(rng), z = unit(rng);
    return Vec3(x, y, z);
  };
  const double tolerances[] = {0.01, 0.001, 0.0001};
  int capped = 0, early = 0;
  Digest digest;
  for (int scene = firstScene; scene < firstScene + 20; ++scene) {
    Humanoids h(who.size());
    const std::vector<Segment*> segs = h.figures[0]->segments();
    const int handleCount = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < handleCount; ++i) {
      const size_t k = rng() % segs.size();
      const float along = 0.5f * (unit(rng) + 1.0f);
      const Vec3 e = segs[k]->endOffset;
      const Vec3 d = draw();
      h.addHandle(k, Vec3(e.x * along + 0.05f * d.x, e.y * along + 0.05f * d.y, e.z * along + 0.05f * d.z));
    }
    for (int drag = 0; drag < 8; ++drag) {
      const bool limb = rng() % 2, limits = rng() % 2;
      const double tol = tolerances[rng() % 3];
      for (auto& f : h.figures) {
        if (limb) {
          f->setLimbWeights();
        } else {
          f->setUniformWeights();
        }
        f->limitsEnabled = limits;
        f->tolerance = tol;
      }
      const std::vector<Handle*>& dragged = h.handles[rng() % h.handles.size()];
      const Vec3 t = draw(), d = draw();
      const Vec3 target(t.x, 1.0f + t.y, t.z), step(0.02f * d.x, 0.02f * d.y, 0.02f * d.z);
      for (int event = 0; event < 3; ++event) {
        std::vector<Outcome> outcomes;
        for (size_t i = 0; i < who.size(); ++i) {
          dragged[i]->targetPos = target + step * event;
          outcomes.push_back(solveWith(who[i], *h.figures[i], dragged[i]));
        }
        ASSERT_TRUE(allAlike(outcomes)) << "scene " << scene << " drag " << drag << " event " << event;
        add(digest, outcomes.back());
        capped += outcomes[0].result.iterations == 100;
        early += outcomes[0].result.iterations < 100;
      }
    }
  }
  // Both ways of stopping were exercised.
  EXPECT_GT(capped, 10);
  EXPECT_GT(early, 10);
  digest.print("humanoid scenes " + std::to_string(firstScene) + " to " + std::to_string(firstScene + 19));
}

TEST_P(Half, RandomFiguresMatchThePlainSolverBitForBit) {
  const std::vector<Solver> who = solvers();
  int figures = 0, solves = 0, capped = 0, relaxed = 0;
  Digest digest;
  const std::vector<std::uint32_t> seeds = figureSeeds(GetParam());
  for (const std::uint32_t seed : seeds) {
    SCOPED_TRACE("figure seed " + std::to_string(seed) + " (MANNEQUIN_FIGURE_SEED replays it)");
    RandomFigures copies(seed, who.size());
    ++figures;
    for (int step = 0; step < 8; ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      copies.changeSomething();
      const std::vector<Handle*> dragged = copies.drag();
      std::vector<Outcome> outcomes;
      for (size_t i = 0; i < who.size(); ++i)
        outcomes.push_back(solveWith(who[i], copies.copies[i]->figure(), dragged[i]));
      ASSERT_TRUE(allAlike(outcomes));
      add(digest, outcomes.back());
      ++solves;
      capped += outcomes[0].result.iterations == 100;
      relaxed += dragged[0] == nullptr;
    }
  }
  std::printf("%d random figures, %d solves (%d at the cap, %d without a dragged handle)\n", figures, solves,
              capped, relaxed);
  if (!seeds.empty())
    digest.print("random figures " + std::to_string(seeds.front()) + " to " + std::to_string(seeds.back()));
}
