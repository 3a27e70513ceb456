#pragma once

#include <functional>

#include "view/OrbitCamera.h"

class Figure;
class Segment;
struct Handle;

// What the view draws, in its current GL context.

// The view's perspective: the near and far planes' distances (the field of
// view is the camera's lens).
constexpr double kNearPlane = 1.0;
constexpr double kFarPlane = 100.0;
// The figure is drawn this many times its own size.
constexpr float kFigureScale = 5.0f;

// The lights, material and projection of a new context of this size.
void setUpContext(int width, int height, double fieldOfView);
// The projection alone, for another lens.
void setProjection(int width, int height, double fieldOfView);
// What is under the pointer, shown with the overlays.
struct Hover {
  const Segment* segment = nullptr;
  const Handle* handle = nullptr;
};

// The axis triad at the camera's centre, in the current modelview.
void drawAxes(const Vec3& center);

// The figure through the camera; with the overlays, its handles, the axis
// triad at the camera's centre and what is under the pointer too. behind,
// when given, draws first, over the cleared frame (the reference picture).
void drawScene(OrbitCamera& camera, const Figure& figure, bool overlays, const Hover& hover = {},
               const std::function<void()>& behind = {});
