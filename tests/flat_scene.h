#pragma once

// A view of the figure for the gestures without GL: an orthographic picture
// from the figure's front written here, independently of the program's
// camera, with the whole figure in a window of the given size.
#include <cmath>
#include <optional>

#include "figure/Figure.h"
#include "view/PointerGestures.h"

// The segment's world matrix in the current pose, by the frame rule from the
// root down.
inline Mat4 worldOf(const Segment* s) { return Figure::frame(s->parent ? worldOf(s->parent) : Mat4(), *s); }
// The centre of the segment's body.
inline Vec3 bodyCentre(const Segment* s) { return transformPoint(worldOf(s) * s->shape, Vec3()); }

// A point in the toolkit's coordinates (y down from the top edge).
struct Pixel {
  int x, y;
};

// The figure's left to the right, +y up, seen from its front: depth 0 at
// ten units in front of the origin, 1 at ten behind. Window points have y up.
class FlatScene : public GestureScene {
 public:
  struct Point {
    double x, y, depth;
  };

  FlatScene(const Figure& figure, int width, int height) : figure(figure), height(height) {
    const double top = figure.reach(Vec3(0, 1, 0)), bottom = -figure.reach(Vec3(0, -1, 0));
    scale = 0.8 * height / (top - bottom);
    x0 = width / 2.0;
    y0 = height / 2.0 - scale * (top + bottom) / 2;
  }

  Point window(const Vec3& p) const {
    return {x0 + scale * dot(p, figure.left), y0 + scale * p.y, 0.5 - dot(p, figure.front) / 20};
  }
  Vec3 world(double x, double y, double depth) const {
    return figure.left * ((x - x0) / scale) + Vec3(0, 1, 0) * ((y - y0) / scale) + figure.front * ((0.5 - depth) * 20);
  }
  // The nearest toolkit pixel of a figure point.
  Pixel pixelOf(const Vec3& p) const {
    const Point w = window(p);
    return {int(std::lround(w.x)), int(std::lround(height - w.y))};
  }

  bool drawn() const override { return frame; }
  const Handle* handleAt(int x, int y, int radius) override {
    for (const HandleEntry& e : figure.handles) {
      const Point w = window(e.handle->worldPos);
      if (std::abs(w.x - x) < radius && std::abs(w.y - y) < radius) return e.handle;
    }
    return nullptr;
  }
  SurfaceHit surfaceAt(int x, int y) override { return figure.pickRay(world(x, y, 0), world(x, y, 1)); }
  std::optional<double> depthOf(const Vec3& p) override { return window(p).depth; }
  std::optional<Vec3> unproject(double x, double y, double depth) override {
    if (!mappable) return std::nullopt;
    return world(x, y, depth);
  }

  const Figure& figure;
  int height;
  double scale, x0, y0;  // pixels a unit; where the origin shows
  bool frame = true;     // a frame was drawn
  bool mappable = true;  // window points map into the world
};
