#include "view/GLFrame.h"

#include <GL/glu.h>

GLFrame GLFrame::read(Order order) {
  GLFrame frame;
  if (order == Order::ViewportFirst) glGetIntegerv(GL_VIEWPORT, frame.viewport);
  glGetDoublev(GL_PROJECTION_MATRIX, frame.projection);
  glGetDoublev(GL_MODELVIEW_MATRIX, frame.modelview);
  if (order == Order::MatricesFirst) glGetIntegerv(GL_VIEWPORT, frame.viewport);
  return frame;
}

bool GLFrame::project(double x, double y, double z, double window[3]) const {
  return gluProject(x, y, z, modelview, projection, viewport, &window[0], &window[1], &window[2]) == GL_TRUE;
}

bool GLFrame::unproject(double x, double y, double z, double world[3]) const {
  return gluUnProject(x, y, z, modelview, projection, viewport, &world[0], &world[1], &world[2]) == GL_TRUE;
}
