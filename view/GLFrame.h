#pragma once

#include <GL/gl.h>

// The viewport and the projection and modelview matrices that the last drawn
// frame left in the current GL context, as GLU's project and unproject take
// them. Every read of them goes through here.
struct GLFrame {
  // The order of the three reads: the drag and the handle pick read the
  // viewport first, the surface pick the two matrices first.
  enum class Order { ViewportFirst, MatricesFirst };

  static GLFrame read(Order order = Order::ViewportFirst);

  // World point to window coordinates; false when GLU cannot map it.
  bool project(double x, double y, double z, double window[3]) const;
  // Window point to world coordinates; false when GLU cannot map it, and
  // then world is not to be read.
  bool unproject(double x, double y, double z, double world[3]) const;

  GLint viewport[4];
  GLdouble projection[16];
  GLdouble modelview[16];
};
