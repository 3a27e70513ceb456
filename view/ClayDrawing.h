#pragma once

#include "view/SceneDrawing.h"

class Figure;

// The clay look, drawn beside the plain one: the figure in neutral light
// grey, lit from the camera's side by a key and a fill light so that no side
// goes black, with a dark outline around it and where its parts overlap; a
// floor grid at its lowest point with a soft shadow where it touches, left
// out when the camera looks from below. Picking reads the same matrices as
// after drawScene: the modelview ends with the figure's scale.

// The outline's width in the view's pixels.
constexpr float kClayOutlinePixels = 2.5f;
// How far the widest line drawn at this scale reaches to either side of its
// middle, in pixels of the drawing: a tile drawn with this much more all
// round shows every line that crosses it whole.
int clayLineReach(float pixelScale);

// As drawScene does, on the clear colour the context holds, with what is
// behind the figure drawn first. pixelScale is how many pixels of the
// drawing a pixel of the view spans: the outline's width follows it.
void drawClayScene(OrbitCamera& camera, const Figure& figure, bool overlays, const Hover& hover = {},
                   float pixelScale = 1.0f, const std::function<void()>& behind = {});
// The view's frame in the clay look, on a backdrop of its own; the
// context's clear colour is left as it was.
void drawClayView(OrbitCamera& camera, const Figure& figure, const Hover& hover,
                  const std::function<void()>& behind = {});
