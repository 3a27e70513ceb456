#include <algorithm>
#include <cmath>
#include <limits>

#include "figure/Figure.h"

// How far the drawn body reaches along a direction: what a camera needs to
// frame it. Each shape is the ball of radius 0.5 mapped by its matrix, whose
// farthest point along d lies at d.centre + 0.5 |L^T d| (L the linear part);
// a shapeless segment is its line.

namespace {

double dotWith(const Vec3& d, const Vec3& p) { return double(d.x) * p.x + double(d.y) * p.y + double(d.z) * p.z; }

double ballReach(const Mat4& M, const Vec3& d) {
  double sum = 0.0;
  for (int c = 0; c < 3; ++c) {
    const double column = double(d.x) * M[c] + double(d.y) * M[4 + c] + double(d.z) * M[8 + c];
    sum += column * column;
  }
  return dotWith(d, Vec3(M[3], M[7], M[11])) + 0.5 * std::sqrt(sum);
}

double segmentReach(const Segment& s, const Mat4& parentWorld, const Vec3& d) {
  const Mat4 W = Figure::frame(parentWorld, s);
  double best = s.hasShape ? ballReach(W * s.shape, d)
                           : std::max(dotWith(d, transformPoint(W, Vec3())), dotWith(d, transformPoint(W, s.endOffset)));
  for (int i = 0; i < s.childCount(); ++i) best = std::max(best, segmentReach(*s.child(i), W, d));
  return best;
}

}  // namespace

double Figure::reach(const Vec3& direction) const { return segmentReach(*root, Mat4(), direction); }
