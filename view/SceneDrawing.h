#pragma once

#include "view/OrbitCamera.h"

class Figure;

// What the view draws, in its current GL context.

// The view's perspective: the vertical field of view in degrees and the
// near and far planes' distances.
constexpr double kFieldOfView = 45.0;
constexpr double kNearPlane = 1.0;
constexpr double kFarPlane = 100.0;
// The figure is drawn this many times its own size.
constexpr float kFigureScale = 5.0f;

// The lights, material and projection of a new context of this size.
void setUpContext(int width, int height);
// The figure through the camera; with the overlays, its handles and the axis
// triad at the camera's centre too.
void drawScene(OrbitCamera& camera, const Figure& figure, bool overlays);
