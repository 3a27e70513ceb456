#include "view/ClayBodies.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "figure/Figure.h"

namespace {

// An ellipsoid of the given half axes centred at c in a segment's frame,
// turned by angle about that frame's z axis.
Mat4 part(const Vec3& c, const Vec3& half, float angle = 0.0f) {
  const float cs = std::cos(angle), sn = std::sin(angle);
  const Mat4 turn(cs, -sn, 0, 0, sn, cs, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  return translationMatrix(c) * turn * scaleMatrix(2 * half.x, 2 * half.y, 2 * half.z);
}

bool named(const Segment& s, const char* prefix) { return std::strncmp(s.name, prefix, std::strlen(prefix)) == 0; }

// The parts that show facing, in the segment's frame: the head and the feet
// face -x in their frames.
void addDetails(const Segment& s, const Mat4& world, std::vector<ClayBody>& out) {
  auto add = [&](const Mat4& local) { out.push_back({world * local, &s}); };
  if (named(s, "h_head")) {
    add(part({-0.072f, 0.08f, 0}, {0.027f, 0.03f, 0.017f}));  // the nose
  } else if (named(s, "h_hand")) {
    // The hands are mirror images with their palms on +z: the right thumb
    // along the palm's -x edge, the left along +x, pointing down the hand.
    const float side = named(s, "h_hand_left") ? 1.0f : -1.0f;
    add(part({side * 0.036f, -0.055f, 0}, {0.013f, 0.038f, 0.011f}, side * 0.45f));
  } else if (named(s, "h_foot")) {
    add(part({0.008f, -0.006f, 0}, {0.038f, 0.03f, 0.034f}));   // the heel
    add(part({-0.158f, -0.004f, 0}, {0.036f, 0.017f, 0.045f}));  // the toes
  }
}

// The middle of the shape's three axes: the body's thickness, for an arm
// or a leg its width across.
float thickness(const Segment& s) {
  float a[3] = {std::fabs(s.shape.m[0]), std::fabs(s.shape.m[5]), std::fabs(s.shape.m[10])};
  std::sort(a, a + 3);
  return a[1];
}

const Segment* shapedAncestor(const Segment& s) {
  const Segment* p = s.parent;
  while (p && !p->hasShape) p = p->parent;
  return p;
}

void collect(const Segment& s, const Mat4& parentWorld, std::vector<ClayBody>& out) {
  const Mat4 world = Figure::frame(parentWorld, s);
  if (s.hasShape) {
    out.push_back({world * s.shape, &s});
    // A ball at the joint, a little thinner than the thinner of the two
    // bodies it joins, fills the gap between their ends.
    if (const Segment* p = shapedAncestor(s)) {
      const float d = 0.8f * std::min(thickness(s), thickness(*p));
      out.push_back({world * scaleMatrix(d, d, d), &s});
    }
    addDetails(s, world, out);
  }
  for (int i = 0; i < s.childCount(); ++i) collect(*s.child(i), world, out);
}

}  // namespace

std::vector<ClayBody> clayBodies(const Figure& figure) {
  std::vector<ClayBody> bodies;
  collect(*figure.root, Mat4(), bodies);
  return bodies;
}

Vec3 centreOf(const ClayBody& body) { return {body.ellipsoid.m[3], body.ellipsoid.m[7], body.ellipsoid.m[11]}; }

// The ball of radius 0.5 reaches half the length of the matrix's row along
// each axis.
float halfExtent(const ClayBody& body, int axis) {
  const float* r = &body.ellipsoid.m[4 * axis];
  return 0.5f * std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
}

float lowestPoint(const std::vector<ClayBody>& bodies) {
  float lowest = INFINITY;
  for (const ClayBody& b : bodies) lowest = std::min(lowest, centreOf(b).y - halfExtent(b, 1));
  return lowest;
}
