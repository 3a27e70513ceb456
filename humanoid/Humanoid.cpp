#include "humanoid/Humanoid.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

namespace {

// Proportions shared by the trunk and the shoulders, fixed at program start.
const double kRise = 0.52 - 0.14 * 0.5 - 0.3;  // waist-to-shoulder rise above the abdomen
const double kSpineLength = kRise + 0.07;
const double kHalfShoulder = 0.41 * 0.5;
const double kScapulaLength = std::sqrt(kHalfShoulder * kHalfShoulder + kRise * kRise);
const double kScapulaTilt = std::atan2(kHalfShoulder, kRise);

float f(double v) { return static_cast<float>(v); }

Vec3 vec(double x, double y, double z) { return Vec3(f(x), f(y), f(z)); }

std::unique_ptr<Transform> hinge(int axis, double angle, double lower, double upper) {
  return std::make_unique<AxisRotation>(axis, angle, lower, upper);
}

std::unique_ptr<Transform> hinges(std::unique_ptr<Transform> first, std::unique_ptr<Transform> second) {
  return TransformChain::of(std::move(first), std::move(second));
}

std::unique_ptr<Segment> segment(int index, const char* name, Vec3 end, std::unique_ptr<Transform> joint) {
  return std::make_unique<Segment>(index, name, end, std::move(joint));
}

// An ellipsoid with the given axes, shifted by `shift` times its own size so
// that it reaches from the segment's origin to its end.
void setShape(Segment& s, Vec3 scale, Vec3 shift) {
  s.shape = scaleMatrix(scale.x, scale.y, scale.z) * translationMatrix(shift);
  s.hasShape = true;
}

}  // namespace

std::unique_ptr<Figure> buildHumanoid() {
  const double pelvisHeight = 0.14;
  const double pelvisWidth = 0.22;
  const double thighLength = 0.425;
  const double shinLength = 0.405;
  const float rootHeight = f(pelvisHeight * 0.25 + thighLength + shinLength + 0.045);
  const double armAngle = 0.5 * static_cast<double>(static_cast<float>(M_PI));
  const Vec3 down(0, -0.5f, 0), up(0, 0.5f, 0), forward(-0.5f, 0, 0);

  auto root = segment(0, "root", Vec3(),
                      TransformChain::of(std::make_unique<Translation>(0.0f, rootHeight, 0.0f),
                                         std::make_unique<QuatRotation>()));
  root->shape = scaleMatrix(f(0.08 + 0.08), f(pelvisHeight), f(pelvisWidth * 1.7));
  root->hasShape = true;

  auto pelvisUp =
      segment(1, "h_pelvis_up", vec(0, pelvisHeight * 0.5, 0), std::make_unique<IdentityTransform>());
  auto pelvisLeft = segment(2, "h_pelvis_left", vec(0, pelvisHeight * -0.5, pelvisWidth * 0.5),
                            std::make_unique<IdentityTransform>());
  auto pelvisRight = segment(3, "h_pelvis_right", vec(0, pelvisHeight * -0.5, pelvisWidth * -0.5),
                             std::make_unique<IdentityTransform>());

  const Vec3 thighScale = vec(0.04 * 3.1, thighLength, 0.04 * 3.1);
  const Vec3 shinScale = vec(0.08, shinLength, 0.08);
  const Vec3 footScale = vec(0.18, 0.04, 0.08);
  auto leg = [&](int first, const char* thighName, const char* shinName, const char* footName) {
    auto thigh = segment(first, thighName, vec(0, -thighLength, 0), std::make_unique<QuatRotation>());
    setShape(*thigh, thighScale, down);
    auto shin = segment(first + 1, shinName, vec(0, -shinLength, 0), hinge(2, 0.2, 0, 1.57));
    setShape(*shin, shinScale, down);
    auto foot = segment(first + 2, footName, vec(-0.18, 0, 0),
                        hinges(hinge(2, 0.2, -1.57, 1.57), hinge(1, 0.2, -1.57, 1.57)));
    setShape(*foot, footScale, forward);
    return std::make_tuple(std::move(thigh), std::move(shin), std::move(foot));
  };
  auto [thighLeft, shinLeft, footLeft] = leg(4, "h_thigh_left", "h_shin_left", "h_foot_left");
  auto [thighRight, shinRight, footRight] = leg(7, "h_thigh_right", "h_shin_right", "h_foot_right");

  const double abdomenLength = 0.3 - pelvisHeight * 0.5;
  auto abdomen = segment(10, "h_abdomen", vec(0, abdomenLength, 0), std::make_unique<QuatRotation>());
  setShape(*abdomen, vec(0.16, abdomenLength, 0.22), up);
  auto spine = segment(11, "h_spine", vec(0, kSpineLength, 0), std::make_unique<QuatRotation>());
  setShape(*spine, vec(0.08 * 1.32, kSpineLength, 0.08 * 1.32), up);
  auto head = segment(12, "h_head", vec(0, 0.19, 0), std::make_unique<QuatRotation>());
  setShape(*head, vec(0.14, 0.19, 0.14), up);

  // side = +1 for the left arm, -1 for the right. Only the scapula tilt and the
  // upper-arm angle change sign; forearms and hands are the same on both sides.
  auto arm = [&](int first, double side, const char* scapulaName, const char* bicepName,
                 const char* forearmName, const char* handName) {
    auto scapula = segment(first, scapulaName, vec(0, kScapulaLength, 0),
                           hinges(hinge(2, -0.5, -1.57, 1.57), hinge(0, side * kScapulaTilt, -1.57, 1.57)));
    setShape(*scapula, vec(0.08 * 1.8, kScapulaLength, 0.08 * 1.8), up);
    auto bicep = segment(first + 1, bicepName, vec(0, -0.31, 0),
                         std::make_unique<QuatRotation>(-side * armAngle, 0, 0));
    setShape(*bicep, vec(0.03 * 3.5, 0.31, 0.03 * 3.5), down);
    auto forearm = segment(first + 2, forearmName, vec(0, -0.25, 0),
                           hinges(hinge(2, -0.5, -0.785, 0.785), hinge(1, -0.5, -1.57, 0)));
    setShape(*forearm, vec(0.06, 0.25, 0.06), down);
    auto hand = segment(first + 3, handName, vec(0, -0.18, 0), hinge(0, -0.5, -1.57, 1.57));
    setShape(*hand, vec(0.06, 0.18, 0.03 * 0.5), down);
    return std::make_tuple(std::move(scapula), std::move(bicep), std::move(forearm), std::move(hand));
  };
  auto [scapulaLeft, bicepLeft, forearmLeft, handLeft] =
      arm(13, +1.0, "h_scapula_left", "h_bicep_left", "h_forearm_left", "h_hand_left");
  auto [scapulaRight, bicepRight, forearmRight, handRight] =
      arm(17, -1.0, "h_scapula_right", "h_bicep_right", "h_forearm_right", "h_hand_right");

  // The order of these calls fixes the DOF numbering.
  Segment* pl = root->addChild(std::move(pelvisLeft));
  Segment* pr = root->addChild(std::move(pelvisRight));
  Segment* pu = root->addChild(std::move(pelvisUp));
  pl->addChild(std::move(thighLeft))->addChild(std::move(shinLeft))->addChild(std::move(footLeft));
  pr->addChild(std::move(thighRight))->addChild(std::move(shinRight))->addChild(std::move(footRight));
  Segment* ab = pu->addChild(std::move(abdomen));
  ab->addChild(std::move(spine))->addChild(std::move(head));
  ab->addChild(std::move(scapulaLeft))
      ->addChild(std::move(bicepLeft))
      ->addChild(std::move(forearmLeft))
      ->addChild(std::move(handLeft));
  ab->addChild(std::move(scapulaRight))
      ->addChild(std::move(bicepRight))
      ->addChild(std::move(forearmRight))
      ->addChild(std::move(handRight));

  auto figure = std::make_unique<Figure>(std::move(root));

  std::fill(figure->angularDof.begin(), figure->angularDof.end(), 0);
  for (int i : {11, 12, 13, 18, 19, 20, 33, 34, 39, 40, 41, 42, 43, 48, 49, 50}) figure->angularDof[i] = 1;
  for (auto& row : figure->dofWeights) row.assign(figure->dofCount, 1.0);
  figure->limitsEnabled = false;
  // The toes point along -x; the left limbs lie at +z.
  figure->front = Vec3(-1, 0, 0);
  figure->left = Vec3(0, 0, 1);
  return figure;
}
