// Mirroring a pose left and right: on figures built as mirror images of
// themselves, the mirrored pose puts every point where the reflection of the
// original puts it; mirroring twice gives the pose back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <string>

#include "pose/FigureState.h"
#include "figure/ParamKinds.h"
#include "pose/PoseText.h"
#include "pose/Pose.h"
#include "ik_test_util.h"

namespace {

// The reflection in the plane z = 0.
const Mat4 kReflection = scaleMatrix(1, 1, -1);
Vec3 reflected(const Vec3& p) { return transformPoint(kReflection, p); }

// Figures whose right side is the left side reflected in z = 0: a root, a
// few middle segments on the plane, and limbs in "_left"/"_right" pairs.
// Hinges have limits wide enough never to clamp.
class MirroredFigure {
 public:
  explicit MirroredFigure(std::uint32_t seed) : rng(seed) {
    auto root = std::make_unique<Segment>(0, "root", Vec3(), TransformChain::of(std::make_unique<Translation>(0, 1, 0),
                                                                             std::make_unique<QuatRotation>()));
    std::vector<Segment*> middle{root.get()};
    for (int i = static_cast<int>(rng() % 3); i > 0; --i) {
      Segment* parent = middle[rng() % middle.size()];
      const char* mid = keep("mid" + std::to_string(names.size()));
      middle.push_back(parent->addChild(std::make_unique<Segment>(0, mid, onPlane(), joint())));
    }
    for (int limb = 1 + static_cast<int>(rng() % 3); limb > 0; --limb) {
      Segment* parent = middle[rng() % middle.size()];
      addLimbPair(parent, parent, 1 + static_cast<int>(rng() % 3));
    }
    figure = std::make_unique<Figure>(std::move(root));
    figure->limitsEnabled = false;
  }

  // Random values for every DOF, through the joints.
  void pose() {
    std::vector<double> v(figure->dofCount);
    for (double& x : v) x = std::uniform_real_distribution<double>(-1.5, 1.5)(rng);
    figure->setDofs(v);
  }

  std::mt19937 rng;
  std::deque<std::string> names;  // the segments keep pointers to these
  std::unique_ptr<Figure> figure;

 private:
  const char* keep(std::string name) {
    names.push_back(std::move(name));
    return names.back().c_str();
  }

  float coordinate() { return std::uniform_real_distribution<float>(-0.4f, 0.4f)(rng); }
  Vec3 onPlane() { return Vec3(coordinate(), coordinate(), 0.0f); }

  std::unique_ptr<Transform> joint() {
    switch (rng() % 4) {
      case 0:
        return std::make_unique<AxisRotation>(static_cast<int>(rng() % 3), 0.0, -10.0, 10.0);
      case 1:
        return std::make_unique<Translation>(coordinate(), coordinate(), coordinate());
      case 2:
        return std::make_unique<QuatRotation>();
      default:
        return TransformChain::of(std::make_unique<AxisRotation>(static_cast<int>(rng() % 3), 0.0, -10.0, 10.0),
                                  std::make_unique<QuatRotation>());
    }
  }

  // A chain of depth segments on the left of leftParent and its reflection
  // on the right of rightParent.
  void addLimbPair(Segment* leftParent, Segment* rightParent, int depth) {
    if (depth == 0) return;
    const std::string stem = "limb" + std::to_string(names.size());
    const Vec3 end(coordinate(), coordinate(), coordinate());
    std::unique_ptr<Transform> left = joint();
    std::unique_ptr<Transform> right = left->clone();
    Segment* l = leftParent->addChild(std::make_unique<Segment>(0, keep(stem + "_left"), end, std::move(left)));
    Segment* r =
        rightParent->addChild(std::make_unique<Segment>(0, keep(stem + "_right"), reflected(end), std::move(right)));
    addLimbPair(l, r, depth - 1);
  }
};

// Every segment's world frame origin and end, in pre-order.
std::vector<Vec3> worldPoints(const Figure& f) {
  std::vector<Vec3> points;
  std::map<const Segment*, Mat4> world;
  for (const Segment* s : f.segments()) {
    const Mat4& w = world[s] = Figure::frame(s->parent ? world[s->parent] : Mat4(), *s);
    points.push_back(transformPoint(w, Vec3()));
    points.push_back(transformPoint(w, s->endOffset));
  }
  return points;
}

// A segment's partner: "_left" and "_right" swapped at the end of its name;
// a segment of neither side is its own.
const Segment* partnerOf(const Figure& f, const Segment* s) {
  const std::string name = s->name;
  for (const auto& [side, other] : {std::pair{"_left", "_right"}, std::pair{"_right", "_left"}}) {
    const size_t stem = name.size() - std::strlen(side);
    if (name.size() > std::strlen(side) && name.substr(stem) == side)
      return f.findSegment((name.substr(0, stem) + other).c_str());
  }
  return s;
}

// The mirrored figure's points are the original's, reflected, each at its
// partner's place.
void expectReflectedWorld(const Figure& f, const std::vector<Vec3>& before, double tolerance) {
  const std::vector<Vec3> after = worldPoints(f);
  const std::vector<Segment*> all = f.segments();
  for (size_t i = 0; i < all.size(); ++i) {
    const Segment* other = partnerOf(f, all[i]);
    const size_t j = std::find(all.begin(), all.end(), other) - all.begin();
    for (int end = 0; end < 2; ++end) {
      const Vec3 expected = reflected(before[2 * i + end]);
      const Vec3& got = after[2 * j + end];
      EXPECT_NEAR(got.x, expected.x, tolerance) << all[i]->name << " point " << end;
      EXPECT_NEAR(got.y, expected.y, tolerance) << all[i]->name << " point " << end;
      EXPECT_NEAR(got.z, expected.z, tolerance) << all[i]->name << " point " << end;
    }
  }
}

}  // namespace

TEST(Mirror, MirroredFiguresPutEveryPointAtItsReflectionAndTwiceGiveThePoseBack) {
  for (std::uint32_t seed = 1; seed <= 200; ++seed) {
    SCOPED_TRACE(testing::Message() << "figure seed " << seed);
    MirroredFigure m(seed);
    m.pose();
    const std::vector<Vec3> before = worldPoints(*m.figure);
    const Pose pose = currentPose(*m.figure);
    const MirrorResult mirror = mirrorPose(*m.figure, pose);
    ASSERT_EQ(mirror.error, "");
    const Pose twice = mirrorPose(*m.figure, mirror.pose).pose;
    ASSERT_EQ(twice.params.size(), pose.params.size());
    for (size_t i = 0; i < pose.params.size(); ++i)
      EXPECT_TRUE(sameVectors(twice.params[i], pose.params[i])) << "segment " << i;
    applyPose(*m.figure, mirror.pose);
    expectReflectedWorld(*m.figure, before, 2e-5);
    if (HasFailure()) return;
  }
}

TEST(Mirror, HandlesMoveToThePartnerReflected) {
  auto f = buildHumanoid();
  Pins pins(*f);
  Handle* h = pins.add("h_hand_left", Vec3(0.01f, -0.1f, 0.005f));
  h->targetPos = Vec3(-0.3f, 1.1f, 0.6f);
  const MirrorResult mirror = mirrorPose(*f, currentPose(*f));
  ASSERT_EQ(mirror.pose.pins.size(), 1u);
  const Pose::Pin& pin = mirror.pose.pins[0];
  EXPECT_EQ(pin.segment, f->findSegment("h_hand_right"));
  EXPECT_EQ(pin.localPos.z, -0.005f);
  EXPECT_EQ(pin.localPos.y, -0.1f);
  EXPECT_EQ(pin.targetPos.z, -0.6f);
  EXPECT_EQ(pin.targetPos.x, -0.3f);
}

TEST(Mirror, TheHumanoidMirrorsExactlyWhereItsArmsAreMirrorImages) {
  // The forearms' twist has the same limits on both sides (-1.57 to 0), so
  // only a twist of 0 mirrors without clamping.
  auto f = buildHumanoid();
  std::mt19937 rng(5);
  std::vector<double> v = f->dofs();
  int dof = 0;
  for (const Segment* s : f->segments()) {
    const std::vector<ParamKind> kinds = paramKinds(*s->joint);
    for (const ParamKind kind : kinds) {
      if (kind >= ParamKind::AngleX && kind <= ParamKind::AngleZ) {
        v[dof] = std::uniform_real_distribution<double>(0.0, 0.7)(rng);
      } else if (kind >= ParamKind::QuatX) {
        v[dof] += std::uniform_real_distribution<double>(-0.3, 0.3)(rng);
      }
      ++dof;
    }
    if (std::strncmp(s->name, "h_forearm_", 10) == 0) v[dof - kinds.size() + 1] = 0.0;
  }
  f->setDofs(v);
  const std::vector<Vec3> before = worldPoints(*f);
  applyPose(*f, mirrorPose(*f, currentPose(*f)).pose);
  expectReflectedWorld(*f, before, 2e-5);
}

TEST(Mirror, PartnersWithDifferentJointsCannotBeMirrored) {
  auto root = std::make_unique<Segment>(0, "root", Vec3(), std::make_unique<IdentityTransform>());
  root->addChild(std::make_unique<Segment>(1, "arm_left", Vec3(), std::make_unique<QuatRotation>()));
  root->addChild(std::make_unique<Segment>(2, "arm_right", Vec3(), std::make_unique<AxisRotation>(0, 0, -1, 1)));
  Figure f(std::move(root));
  const MirrorResult mirror = mirrorPose(f, currentPose(f));
  EXPECT_NE(mirror.error.find("arm_left"), std::string::npos) << mirror.error;
  // Pasted mirrored, the pose is refused as a whole.
  const FigureState before = saveState(f);
  const pose_text::Pasting pasting = pose_text::paste(f, pose_text::write(f), true);
  EXPECT_EQ(pasting.error, mirror.error);
  EXPECT_TRUE(saveState(f) == before);
}
