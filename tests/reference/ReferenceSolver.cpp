#include "ReferenceSolver.h"

#include <cmath>
#include <iostream>
#include <list>
#include <memory>

namespace reference {

namespace {

// The derivatives of one handle's position, made by one gradient evaluation.
struct HandleJacobian {
  int weightRow;  // the carrying segment's index
  Handle* handle;
  std::vector<Mat4> dofDerivatives;  // d world / d DOF k for every DOF k
  Mat4 world;                        // the carrying segment's world matrix
  Vec3 localPos;
};

// Inserts one record per handle of the subtree of s at the front of records;
// takes and releases chain and D. Returns the subtree's DOF count.
int buildJacobians(Figure& f, std::list<HandleJacobian>& records, Segment* s,
                   std::unique_ptr<TransformChain> chain, std::vector<Mat4> D, int first) {
  const Vec3& offset = s->attachment();
  const Mat4 T = translationMatrix(offset);
  const Mat4 A = T * *s->joint->matrix();
  std::unique_ptr<Transform> joint = s->joint->clone();

  for (Mat4& d : D) {
    if (!d.isZero()) d = d * A;
  }

  const Mat4 PT = *chain->matrix() * T;
  const int m = joint->dofCount();
  for (int j = 0; j < m; ++j) D[first + j] = PT * joint->derivative(j);

  chain->append(std::make_unique<Translation>(offset.x, offset.y, offset.z));
  chain->append(std::move(joint));
  const Mat4 W = *chain->matrix();

  for (Handle* h : s->handles) records.push_front({s->index, h, D, W, h->localPos});

  int count = m;
  for (int i = 0; i < s->childCount(); ++i) {
    std::unique_ptr<TransformChain> copy(static_cast<TransformChain*>(chain->clone().release()));
    count += buildJacobians(f, records, s->child(i), std::move(copy), D, first + count);
  }
  return count;
}

// Adds the weighted Jacobian-transpose product of every record to g.
void accumulateGradient(const Figure& f, const std::list<HandleJacobian>& records, const Handle* dragged,
                        float* g) {
  for (const HandleJacobian& r : records) {
    const double factor = r.handle == dragged ? 3.0 : 1.0;
    const std::vector<double>& w = f.dofWeights[r.weightRow];
    const Vec3 x = transformPoint(r.world, r.localPos);
    const Vec3 e = x - r.handle->targetPos;
    for (int i = 0; i < f.dofCount; ++i) {
      const double L = factor * w[i];
      Mat4 scaled;
      for (int k = 0; k < 16; ++k) scaled[k] = static_cast<float>(L * r.dofDerivatives[i][k]);
      const Vec3 j = transformPoint(scaled, r.localPos);
      g[i] += j.x * e.x + j.y * e.y + j.z * e.z;
    }
  }
}

// Records of the current pose, after updating the handles' positions.
std::list<HandleJacobian> records(Figure& f) {
  f.updateHandlePositions();
  std::list<HandleJacobian> list;
  std::vector<std::unique_ptr<Transform>> start;
  start.push_back(std::make_unique<IdentityTransform>());
  buildJacobians(f, list, f.root.get(), std::make_unique<TransformChain>(std::move(start)),
                 std::vector<Mat4>(f.dofCount, Mat4::zero()), 0);
  return list;
}

}  // namespace

std::vector<float> gradient(Figure& f, const Handle* dragged) {
  std::vector<float> g(f.dofCount, 0.0f);
  accumulateGradient(f, records(f), dragged, g.data());
  return g;
}

SolveResult solve(Figure& f, const Handle* dragged) {
  const int n = f.dofCount;
  std::vector<double> x(n);
  std::vector<float> g(n, 0.0f);
  int counter = 0;
  float norm = 0.0f;
  do {
    ++counter;
    f.getDofs(f.root.get(), x.data());
    for (int i = 0; i < n; ++i) {
      x[i] = x[i] - 0.032 * g[i];
      g[i] = 0.0f;
    }
    f.setDofs(f.root.get(), x.data(), f.limitsEnabled);
    const std::list<HandleJacobian> list = records(f);
    accumulateGradient(f, list, dragged, g.data());

    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
      if (f.angularDof[i]) {
        const double k = std::trunc(g[i] * 0.1592356687898089);
        const float v = k != 0.0 ? g[i] - static_cast<float>(k) : g[i];
        g[i] = static_cast<float>((v * 0.5f) * 3.14);
      }
      sum += double(g[i]) * g[i];
    }
    norm = static_cast<float>(std::sqrt(sum));
    if (counter > 90) std::cout << "brem" << std::endl;
  } while (2 * norm * 0.016 > f.tolerance && counter < 100);
  return {counter, norm};
}

}  // namespace reference
