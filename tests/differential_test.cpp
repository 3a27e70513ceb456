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

// No bytes are the same bytes, even where an empty vector has no storage.
bool sameBits(const void* a, const void* b, size_t n) { return n == 0 || std::memcmp(a, b, n) == 0; }

// The same random handles on two copies of the humanoid.
struct Twin {
  std::unique_ptr<Figure> figure = buildHumanoid();
  std::vector<std::unique_ptr<Handle>> handles;
};

void addHandle(Twin& t, Segment* s, Vec3 local) {
  t.handles.push_back(std::make_unique<Handle>(local.x, local.y, local.z));
  t.figure->addHandle(t.handles.back().get(), s);
}

template <typename T>
bool sameVectors(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && sameBits(a.data(), b.data(), a.size() * sizeof(T));
}

std::vector<Vec3> positions(const Figure& f) {
  std::vector<Vec3> all;
  for (const HandleEntry& e : f.handles) all.push_back(e.handle->worldPos);
  return all;
}

// The program's solver on `fast`, the plain one on `plain`, two figures with
// the same handles and settings: the gradient before the solve, the solve's
// result, and the DOFs and handle positions after it agree to the bit.
// `gradient` and `result` receive the program's numbers.
testing::AssertionResult solveAlike(Figure& fast, const Handle* fastDragged, Figure& plain,
                                    const Handle* plainDragged, std::vector<float>& gradient,
                                    SolveResult& result) {
  gradient = evaluateGradient(fast, fastDragged);
  if (!sameVectors(gradient, reference::gradient(plain, plainDragged))) {
    return testing::AssertionFailure() << "gradient";
  }
  SolveResult plainResult;
  printedBy([&] {
    result = fast.solve(fastDragged);
    plainResult = reference::solve(plain, plainDragged);
  });
  if (result.iterations != plainResult.iterations) {
    return testing::AssertionFailure()
           << "iterations " << result.iterations << " vs " << plainResult.iterations;
  }
  if (!sameBits(&result.norm, &plainResult.norm, sizeof(float))) {
    return testing::AssertionFailure() << "norm " << result.norm << " vs " << plainResult.norm;
  }
  if (!sameVectors(fast.dofs(), plain.dofs())) return testing::AssertionFailure() << "DOFs";
  if (!sameVectors(positions(fast), positions(plain)))
    return testing::AssertionFailure() << "handle positions";
  return testing::AssertionSuccess();
}

// Each case runs with the pass's AVX2 build and with its portable one.
class Differential : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GradientPass::useWideInstructions(GetParam()) != GetParam()) GTEST_SKIP() << "no AVX2 here";
  }
  void TearDown() override { GradientPass::useWideInstructions(true); }
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Builds, Differential, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Avx2" : "Portable";
                         });

TEST_P(Differential, FastSolverMatchesThePlainOneBitForBit) {
  std::mt19937 rng(20261208);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  const double tolerances[] = {0.01, 0.001, 0.0001};
  int capped = 0, early = 0;
  for (int scene = 0; scene < 40; ++scene) {
    Twin fast, plain;
    const std::vector<Segment*> fastSegs = fast.figure->segments(), plainSegs = plain.figure->segments();
    const int handleCount = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < handleCount; ++i) {
      const size_t k = rng() % fastSegs.size();
      const float along = 0.5f * (unit(rng) + 1.0f);
      const Vec3 e = fastSegs[k]->endOffset;
      const Vec3 local(e.x * along + 0.05f * unit(rng), e.y * along + 0.05f * unit(rng),
                       e.z * along + 0.05f * unit(rng));
      addHandle(fast, fastSegs[k], local);
      addHandle(plain, plainSegs[k], local);
    }
    for (int drag = 0; drag < 8; ++drag) {
      const bool limb = rng() % 2, limits = rng() % 2;
      const double tol = tolerances[rng() % 3];
      for (Twin* t : {&fast, &plain}) {
        if (limb) {
          t->figure->setLimbWeights();
        } else {
          t->figure->setUniformWeights();
        }
        t->figure->limitsEnabled = limits;
        t->figure->tolerance = tol;
      }
      const size_t d = rng() % fast.handles.size();
      const Vec3 target(unit(rng), 1.0f + unit(rng), unit(rng));
      const Vec3 step(0.02f * unit(rng), 0.02f * unit(rng), 0.02f * unit(rng));
      for (int event = 0; event < 3; ++event) {
        const Vec3 t = target + step * event;
        fast.handles[d]->targetPos = t;
        plain.handles[d]->targetPos = t;
        std::vector<float> g;
        SolveResult r;
        ASSERT_TRUE(
            solveAlike(*fast.figure, fast.handles[d].get(), *plain.figure, plain.handles[d].get(), g, r))
            << "scene " << scene << " drag " << drag << " event " << event;
        capped += r.iterations == 100;
        early += r.iterations < 100;
      }
    }
  }
  // Both ways of stopping were exercised.
  EXPECT_GT(capped, 20);
  EXPECT_GT(early, 20);
}

TEST_P(Differential, RelaxingWithoutADraggedHandleMatchesToo) {
  Twin fast, plain;
  for (const char* name : {"h_hand_left", "h_foot_right", "h_head"}) {
    const Vec3 e = fast.figure->findSegment(name)->endOffset;
    addHandle(fast, fast.figure->findSegment(name), e);
    addHandle(plain, plain.figure->findSegment(name), e);
  }
  for (size_t i = 0; i < fast.handles.size(); ++i) {
    fast.handles[i]->targetPos = plain.handles[i]->targetPos = Vec3(0.1f * i, 0.5f, -0.2f);
  }
  std::vector<float> g;
  SolveResult r;
  EXPECT_TRUE(solveAlike(*fast.figure, nullptr, *plain.figure, nullptr, g, r));
}

// A joint that translates, below an ancestor's DOFs: carrying their
// derivatives through it must take its own translation along with the
// attachment (it once used only the attachment).
TEST_P(Differential, ATranslatingJointCarriesItsOwnOffset) {
  auto build = [] {
    auto root = std::make_unique<Segment>(0, "root", Vec3(0, 0.3f, 0),
                                          std::make_unique<QuatRotation>(0.3, -0.2, 0.5));
    Segment* middle = root->addChild(std::make_unique<Segment>(
        1, "middle", Vec3(0.1f, 0.4f, 0), std::make_unique<Translation>(0.2f, 0.7f, 0.1f)));
    middle->addChild(std::make_unique<Segment>(2, "end", Vec3(0, 0.5f, 0),
                                               std::make_unique<AxisRotation>(2, 0.4, -1.0, 1.0)));
    auto figure = std::make_unique<Figure>(std::move(root));
    for (auto& row : figure->dofWeights) row.assign(figure->dofCount, 1.0);
    return figure;
  };
  auto fast = build(), plain = build();
  Handle a(0.1f, 0.5f, 0.0f), b(0.1f, 0.5f, 0.0f);
  fast->addHandle(&a, fast->segments().back());
  plain->addHandle(&b, plain->segments().back());
  a.targetPos = b.targetPos = Vec3(-0.4f, 1.2f, 0.3f);
  const std::vector<float> expected = reference::gradient(*plain, &b);
  for (int i = 0; i < 4; ++i)
    EXPECT_NE(expected[i], 0.0f) << "the ball joint's DOF " << i << " moves the handle";
  EXPECT_TRUE(sameVectors(evaluateGradient(*fast, &a), expected));
  fast->removeHandle(&a);
  plain->removeHandle(&b);
}

// ---- random figures

namespace {

// Seeds of the random figures: MANNEQUIN_FIGURE_SEED=N replays figure N alone.
std::vector<std::uint32_t> figureSeeds() {
  if (const char* one = std::getenv("MANNEQUIN_FIGURE_SEED"))
    return {static_cast<std::uint32_t>(std::stoul(one))};
  std::vector<std::uint32_t> seeds(800);
  for (std::uint32_t i = 0; i < seeds.size(); ++i) seeds[i] = 1000 + i;
  return seeds;
}

// The same figure twice: one for the program's solver, one for the plain one.
// Every change is made to both through the same calls, so their random
// streams stay in step.
struct RandomTwin {
  explicit RandomTwin(std::uint32_t seed) : fast(seed), plain(seed), script(seed * 7919u + 1) {}

  template <typename Change>
  void both(Change change) {
    change(fast);
    change(plain);
  }

  // Handles, weights and settings changed as a user would between drags.
  void changeSomething() {
    switch (script() % 8) {
      case 0:
      case 1:
        both([](RandomFigure& r) { r.addHandle(); });
        break;
      case 2:
        both([](RandomFigure& r) { r.addTwice(); });
        break;
      case 3:
        both([](RandomFigure& r) { r.removeHandle(); });
        break;
      case 4:
        both([](RandomFigure& r) { r.scrambleWeights(); });
        break;
      case 5:
        both([](RandomFigure& r) { r.figure().setLimbWeights(); });
        break;
      case 6:
        both([](RandomFigure& r) { r.figure().setUniformWeights(); });
        break;
      default: {
        const bool limits = script() % 2;
        const double tolerance = std::array<double, 3>{0.01, 0.001, 0.0001}[script() % 3];
        both([&](RandomFigure& r) {
          r.figure().limitsEnabled = limits;
          r.figure().tolerance = tolerance;
        });
      }
    }
  }

  // Picks the dragged handle (or none) and moves its target near where it is.
  std::pair<Handle*, Handle*> drag() {
    if (script() % 6 == 0) return {nullptr, nullptr};
    Handle* a = fast.anyHandle();
    Handle* b = plain.anyHandle();
    if (!a) return {nullptr, nullptr};
    fast.figure().updateHandlePositions();
    std::uniform_real_distribution<float> offset(-0.5f, 0.5f);
    const float x = offset(script), y = offset(script), z = offset(script);
    const Vec3 step(x, y, z);
    a->targetPos = b->targetPos = a->worldPos + step;
    return {a, b};
  }

  RandomFigure fast, plain;
  std::mt19937 script;
};

// FNV-1a over the bytes of every result compared, so that two machines can
// tell whether they computed the same numbers.
struct Digest {
  std::uint64_t value = 14695981039346656037ull;
  template <typename T>
  void add(const std::vector<T>& v) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(v.data());
    for (size_t i = 0; i < v.size() * sizeof(T); ++i) value = (value ^ bytes[i]) * 1099511628211ull;
  }
};

}  // namespace

TEST_P(Differential, RandomFiguresMatchThePlainSolverBitForBit) {
  int figures = 0, solves = 0, capped = 0, relaxed = 0;
  Digest digest;
  for (const std::uint32_t seed : figureSeeds()) {
    SCOPED_TRACE("figure seed " + std::to_string(seed) + " (MANNEQUIN_FIGURE_SEED replays it)");
    RandomTwin twin(seed);
    ++figures;
    for (int step = 0; step < 8; ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      twin.changeSomething();
      const auto [fastDragged, plainDragged] = twin.drag();
      Figure& a = twin.fast.figure();
      std::vector<float> g;
      SolveResult x;
      ASSERT_TRUE(solveAlike(a, fastDragged, twin.plain.figure(), plainDragged, g, x));
      digest.add(g);
      digest.add(a.dofs());
      digest.add(positions(a));
      ++solves;
      capped += x.iterations == 100;
      relaxed += fastDragged == nullptr;
    }
  }
  std::printf("%d random figures, %d solves (%d at the cap, %d without a dragged handle), digest %016llx\n",
              figures, solves, capped, relaxed, static_cast<unsigned long long>(digest.value));
}
