#include <iostream>

#include "figure/Figure.h"
#include "ik/Solver.h"
#include "view/GLFrame.h"

// The drag's window step: the pointer, unprojected through the matrices of
// the last drawn frame, becomes the dragged handle's target. Needs the view's
// GL context to be current.
void Figure::solveDrag(double winX, double winY, double winZ, Handle* dragged) {
  if (dragged && segmentOf(dragged)) {
    double world[3];
    // A failed or degenerate unprojection must never become a target: the
    // handle keeps the one it had, and the failed outputs are not read.
    const bool mapped = GLFrame::read().unproject(winX, winY, winZ, world);
    const Vec3 target = mapped ? Vec3(static_cast<float>(world[0]), static_cast<float>(world[1]),
                                      static_cast<float>(world[2]))
                               : Vec3();
    if (mapped && target.isFinite()) {
      dragged->targetPos = target;
    } else {
      std::cout << "YOU suck!!!" << std::endl;
    }
  }
  solve(dragged);
}
