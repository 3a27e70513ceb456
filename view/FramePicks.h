#pragma once

#include "view/PointerGestures.h"
#include "view/SceneDrawing.h"

class Fl_Gl_Window;

// The gestures' picks and mappings through the matrices of the last frame a
// GL view drew, in that view's context.
class FramePicks : public GestureScene {
 public:
  FramePicks(Fl_Gl_Window& view, const Figure& figure) : view(view), figure(figure) {}

  // Counts the view's frames: before the first there is nothing to pick with.
  void frameDrawn() { ++frames; }
  int framesDrawn() const { return frames; }

  bool drawn() const override { return frames > 0; }
  const Handle* handleAt(int x, int y, int radius) override;
  SurfaceHit surfaceAt(int x, int y) override;
  std::optional<double> depthOf(const Vec3& world) override;
  std::optional<Vec3> unproject(double x, double y, double depth) override;
  // The segment and handle at the view's window point (x, y), y down;
  // nothing outside the view or before the first frame.
  Hover hoverAt(int x, int y);

 private:
  Fl_Gl_Window& view;
  const Figure& figure;
  int frames = 0;
};
