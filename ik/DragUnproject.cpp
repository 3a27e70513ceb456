#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <iostream>

#include "figure/Figure.h"

void Figure::solveDrag(double winX, double winY, double winZ, Handle* dragged) {
  if (dragged && segmentOf(dragged)) {
    GLint viewport[4];
    GLdouble projection[16], modelview[16];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    double x, y, z;
    const bool ok = gluUnProject(winX, winY, winZ, modelview, projection, viewport, &x, &y, &z) == GL_TRUE;
    const Vec3 target{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
    // A failed or degenerate unprojection must never become a target: the
    // handle keeps the one it had.
    if (ok && target.isFinite()) {
      dragged->targetPos = target;
    } else {
      std::cout << "YOU suck!!!" << std::endl;
    }
  }
  solve(dragged);
}
