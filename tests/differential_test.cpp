#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "ReferenceSolver.h"
#include "humanoid/Humanoid.h"
#include "ik/GradientPass.h"

namespace {

bool sameBits(const void* a, const void* b, size_t n) { return std::memcmp(a, b, n) == 0; }

// The same random handles on two copies of the humanoid.
struct Twin {
  std::unique_ptr<Figure> figure = buildHumanoid();
  std::vector<std::unique_ptr<Handle>> handles;
};

void addHandle(Twin& t, Segment* s, Vec3 local) {
  t.handles.push_back(std::make_unique<Handle>(local.x, local.y, local.z));
  t.figure->addHandle(t.handles.back().get(), s);
}

class Quiet {
 public:
  Quiet() { testing::internal::CaptureStdout(); }
  ~Quiet() { testing::internal::GetCapturedStdout(); }
};

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
  int drags = 0, capped = 0, early = 0;
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
    for (int drag = 0; drag < 8; ++drag, ++drags) {
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

      {
        const std::vector<float> a = [&] {
          std::vector<float> g(51);
          fast.figure->gradient(fast.handles[d].get(), g.data());
          return g;
        }();
        const std::vector<float> b = reference::gradient(*plain.figure, plain.handles[d].get());
        ASSERT_TRUE(sameBits(a.data(), b.data(), 51 * sizeof(float)))
            << "gradient, scene " << scene << " drag " << drag;
      }
      for (int event = 0; event < 3; ++event) {
        const Vec3 t = target + step * event;
        fast.handles[d]->targetPos = t;
        plain.handles[d]->targetPos = t;
        SolveResult a, b;
        {
          Quiet quiet;
          a = fast.figure->solve(fast.handles[d].get());
          b = reference::solve(*plain.figure, plain.handles[d].get());
        }
        ASSERT_EQ(a.iterations, b.iterations) << "scene " << scene << " drag " << drag << " event " << event;
        ASSERT_TRUE(sameBits(&a.norm, &b.norm, sizeof(float)));
        capped += a.iterations == 100;
        early += a.iterations < 100;
        const std::vector<double> x = fast.figure->dofs(), y = plain.figure->dofs();
        ASSERT_TRUE(sameBits(x.data(), y.data(), 51 * sizeof(double)))
            << "DOFs, scene " << scene << " drag " << drag << " event " << event;
        for (size_t h = 0; h < fast.handles.size(); ++h) {
          ASSERT_TRUE(sameBits(&fast.handles[h]->worldPos, &plain.handles[h]->worldPos, sizeof(Vec3)))
              << "handle " << h << ", scene " << scene << " drag " << drag;
        }
      }
    }
  }
  // Both ways of stopping were exercised.
  EXPECT_GT(capped, 20);
  EXPECT_GT(early, 20);
  EXPECT_EQ(drags, 320);
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
  Quiet quiet;
  const SolveResult a = fast.figure->solve(nullptr);
  const SolveResult b = reference::solve(*plain.figure, nullptr);
  EXPECT_EQ(a.iterations, b.iterations);
  const std::vector<double> x = fast.figure->dofs(), y = plain.figure->dofs();
  EXPECT_TRUE(sameBits(x.data(), y.data(), 51 * sizeof(double)));
}
