#include <algorithm>

#include "figure/Figure.h"

int Figure::buildJacobians(Segment* s, std::unique_ptr<TransformChain> chain, std::vector<Mat4> D,
                           int first) {
  const Vec3& offset = s->attachment();
  const Mat4 T = translationMatrix(offset);
  const Mat4 A = T * *s->joint->matrix();
  std::unique_ptr<Transform> joint = s->joint->clone();

  // Carry the ancestors' derivatives into this segment's frame. DOFs that do
  // not move the segment have zero matrices and are skipped.
  for (Mat4& d : D) {
    if (!d.isZero()) d = d * A;
  }

  const Mat4 PT = *chain->matrix() * T;
  const int m = joint->dofCount();
  for (int j = 0; j < m; ++j) D[first + j] = PT * joint->derivative(j);

  chain->append(std::make_unique<Translation>(offset.x, offset.y, offset.z));
  chain->append(std::move(joint));
  const Mat4 W = *chain->matrix();

  for (Handle* h : s->handles) jacobians.push_front({s->index, h, D, W, h->localPos});

  int count = m;
  for (int i = 0; i < s->childCount(); ++i) {
    std::unique_ptr<Transform> copy = chain->clone();
    std::unique_ptr<TransformChain> childChain(static_cast<TransformChain*>(copy.release()));
    count += buildJacobians(s->child(i), std::move(childChain), D, first + count);
  }
  return count;
}

void Figure::accumulateGradient(const Handle* dragged, float* g) const {
  for (const HandleJacobian& r : jacobians) {
    const double f = r.handle == dragged ? solver::kDraggedFactor : 1.0;
    const std::vector<double>& w = dofWeights[r.weightRow];
    const Vec3 x = transformPoint(r.world, r.localPos);
    const Vec3 e = x - r.handle->targetPos;
    for (int i = 0; i < dofCount; ++i) {
      const double L = f * w[i];
      Mat4 scaled;
      for (int k = 0; k < 16; ++k) scaled[k] = static_cast<float>(L * r.dofDerivatives[i][k]);
      const Vec3 j = transformPoint(scaled, r.localPos);
      g[i] += j.x * e.x + j.y * e.y + j.z * e.z;
    }
  }
}

void Figure::setUniformWeights() {
  for (auto& row : dofWeights) std::fill(row.begin(), row.end(), 1.0);
}

void Figure::setLimbWeights() {
  const int n = dofCount;
  // Rows of one limb: nothing of the root translation, a little of the root
  // rotation, all of the limb's own DOFs [from, to].
  auto limb = [n](std::vector<double>& row, int from, int to) {
    for (int i = 0; i < n; ++i) {
      if (i >= from && i <= to) {
        row[i] = 1.0;
      } else if (i >= 4 && i <= 6) {
        row[i] = 0.05;
      } else {
        row[i] = 0.0;
      }
    }
  };
  std::fill(dofWeights[0].begin(), dofWeights[0].end(), 1.0);
  for (int r : {1, 10}) limb(dofWeights[r], 21, n - 1);
  for (int r : {2, 4, 5, 6}) limb(dofWeights[r], 7, 13);
  for (int r : {3, 7, 8, 9}) limb(dofWeights[r], 14, 20);
  for (int r : {11, 12}) limb(dofWeights[r], 25, 32);
  for (int r : {13, 14, 15, 16}) limb(dofWeights[r], 33, 41);
  for (int r : {17, 18, 19, 20}) limb(dofWeights[r], 42, n - 1);
}
