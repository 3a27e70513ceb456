#include "view/FramePicks.h"

#include <FL/Fl_Gl_Window.H>

#include "view/FigurePicking.h"
#include "view/GLFrame.h"

const Handle* FramePicks::handleAt(int x, int y, int radius) {
  view.make_current();
  return ::handleAt(figure, GLFrame::read(), x, y, radius);
}

SurfaceHit FramePicks::surfaceAt(int x, int y) {
  view.make_current();
  return pickSurface(figure, GLFrame::read(GLFrame::Order::MatricesFirst), x, y);
}

std::optional<double> FramePicks::depthOf(const Vec3& p) {
  view.make_current();
  double window[3];
  if (!GLFrame::read().project(p.x, p.y, p.z, window)) return std::nullopt;
  return window[2];
}

std::optional<Vec3> FramePicks::unproject(double x, double y, double depth) {
  view.make_current();
  double world[3];
  if (!GLFrame::read().unproject(x, y, depth, world)) return std::nullopt;
  return Vec3(static_cast<float>(world[0]), static_cast<float>(world[1]), static_cast<float>(world[2]));
}

Hover FramePicks::hoverAt(int x, int y) {
  if (!drawn() || x < 0 || y < 0 || x >= view.w() || y >= view.h()) return {};
  return {surfaceAt(x, view.h() - y).segment, handleAt(x, view.h() - y, 4)};
}
