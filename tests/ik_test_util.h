#pragma once

// Helpers that the model, solver, peer and view tests share: captured output,
// matrix comparisons, finite differences, pinned handles and the limb-local
// weight table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "figure/Transform.h"
#include "humanoid/Humanoid.h"
#include "ik/Solver.h"
#include "math/Mat4.h"

// What f prints on standard output.
template <typename F>
std::string printedBy(F f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

// Equal bit for bit; no bytes are the same bytes, even where an empty vector
// has no storage.
inline bool sameBits(const void* a, const void* b, size_t n) { return n == 0 || std::memcmp(a, b, n) == 0; }
template <typename T>
bool sameVectors(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && sameBits(a.data(), b.data(), a.size() * sizeof(T));
}

inline std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// How many of the text's lines are the given one.
inline long countLines(const std::string& text, const std::string& line) {
  const std::vector<std::string> all = linesOf(text);
  return std::count(all.begin(), all.end(), line);
}

inline void expectMatEq(const Mat4& a, const Mat4& b) {
  for (int i = 0; i < 16; ++i) EXPECT_EQ(a[i], b[i]) << "element " << i;
}

inline void expectMatNear(const Mat4& a, const Mat4& b, float tol) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], tol) << "element " << i;
}

// FNV-1a over the bytes of the program's results, so that two machines can
// tell whether they computed the same numbers (scripts/compare-digests.sh).
struct Digest {
  std::uint64_t value = 14695981039346656037ull;
  void add(const void* data, size_t n) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < n; ++i) value = (value ^ bytes[i]) * 1099511628211ull;
  }
  template <typename T>
  void add(const std::vector<T>& v) {
    add(v.data(), v.size() * sizeof(T));
  }
  void print(const std::string& what) const {
    std::printf("%s, digest %016llx\n", what.c_str(), static_cast<unsigned long long>(value));
  }
};

// Central difference of the scalar f(v) in v[i].
template <typename F>
double centralDifference(F f, const std::vector<double>& v, size_t i, double h) {
  std::vector<double> up = v, down = v;
  up[i] += h, down[i] -= h;
  const double atUp = f(up);  // before f(down), whatever f leaves behind
  return (atUp - f(down)) / (2 * h);
}

// Central difference of t's matrix in its parameter k; t is left as it was.
inline Mat4 finiteDifference(Transform& t, int k, double h = 1e-3) {
  std::vector<double> p(t.dofCount());
  t.getParams(p.data());
  std::vector<double> plus = p, minus = p;
  plus[k] += h, minus[k] -= h;
  t.setParams(plus.data());
  const Mat4 a = *t.matrix();
  t.setParams(minus.data());
  const Mat4 b = *t.matrix();
  t.setParams(p.data());
  Mat4 d;
  for (int i = 0; i < 16; ++i) d[i] = static_cast<float>((double(a[i]) - b[i]) / (2 * h));
  return d;
}

// The elementary transforms of a joint in parameter order, chains opened up.
inline void appendElements(const Transform& joint, std::vector<const Transform*>& out) {
  if (const auto* chain = dynamic_cast<const TransformChain*>(&joint)) {
    for (int i = 0; i < chain->childCount(); ++i) appendElements(chain->child(i), out);
  } else {
    out.push_back(&joint);
  }
}

// The first DOF of every elementary transform of the given kind in the tree,
// numbered as the DOF vector is: each segment's own parameters, then its
// children's subtrees.
template <typename Kind>
std::vector<int> firstDofsOf(const Figure& f) {
  std::vector<int> firsts;
  int dof = 0;
  for (const Segment* s : f.segments()) {
    std::vector<const Transform*> elements;
    appendElements(*s->joint, elements);
    for (const Transform* t : elements) {
      if (dynamic_cast<const Kind*>(t)) firsts.push_back(dof);
      dof += t->dofCount();
    }
  }
  return firsts;
}

// The DOF of every hinge angle.
inline std::vector<int> hingeDofs(const Figure& f) { return firstDofsOf<AxisRotation>(f); }

// Every hinge that clamps (its own switch, as the last write left it) lies
// within its limits.
inline void expectWithinLimits(const Figure& f) {
  for (const Segment* s : f.segments()) {
    std::vector<const Transform*> elements;
    appendElements(*s->joint, elements);
    for (const Transform* t : elements) {
      const auto* hinge = dynamic_cast<const AxisRotation*>(t);
      if (!hinge || hinge->limitsEnabled == 0.0) continue;
      EXPECT_GE(hinge->angle, hinge->lower) << s->name;
      EXPECT_LE(hinge->angle, hinge->upper) << s->name;
    }
  }
}

// One gradient evaluation of the figure's current pose, as the solver makes it.
inline std::vector<float> evaluateGradient(Figure& f, const Handle* dragged) {
  std::vector<float> g(f.dofCount, 0.0f);
  f.gradient(dragged, g.data());
  return g;
}

inline float distance(const Vec3& a, const Vec3& b) { return length(a - b); }

// Where the figure's own forward pass puts a segment-local point.
inline Vec3 worldPoint(Figure& f, Segment* s, Vec3 local) {
  Handle h(local.x, local.y, local.z);
  f.addHandle(&h, s);
  f.updateHandlePositions();
  f.removeHandle(&h);
  return h.worldPos;
}

// Handles owned by the test, pinned on named segments of a figure.
struct Pins {
  explicit Pins(Figure& figure) : f(figure) {}
  ~Pins() {
    for (auto& h : list) f.removeHandle(h.get());
  }
  Handle* add(const char* segment, Vec3 local) {
    list.push_back(std::make_unique<Handle>(local.x, local.y, local.z));
    f.addHandle(list.back().get(), f.findSegment(segment));
    f.updateHandlePositions();
    return list.back().get();
  }
  // On the segment's far end, where a drag has the most leverage.
  Handle* atEnd(const char* segment) { return add(segment, f.findSegment(segment)->endOffset); }

  Figure& f;
  std::vector<std::unique_ptr<Handle>> list;
};

// The humanoid with its left hand dragged and its right foot pinned.
struct PosedHumanoid {
  explicit PosedHumanoid(bool limits = false) : f(buildHumanoid()), pins(*f) {
    hand = pins.atEnd("h_hand_left");
    pins.atEnd("h_foot_right");
    hand->targetPos = Vec3(-0.25f, 1.55f, 0.45f);
    f->limitsEnabled = limits;
    f->solve(hand);
  }

  std::unique_ptr<Figure> f;
  Pins pins;
  Handle* hand;
};

// The limb-local weight preset's weight of a DOF in the named segment's row
// of the humanoid: the rows of a limb's segments weigh DOFs 0 to 3 (root
// translation and the quaternion's x) with 0, 4 to 6 with 0.05, the limb's
// own range with 1.0 and every other DOF with 0. The root's row is 1.0 throughout.
inline double limbWeight(const std::string& segment, int dof) {
  if (segment == "root") return 1.0;
  // Each limb's segments, and its first and last DOF of 1.0.
  static const std::vector<std::tuple<std::vector<std::string>, int, int>> limbs = {
      {{"h_pelvis_up", "h_abdomen"}, 21, 50},
      {{"h_pelvis_left", "h_thigh_left", "h_shin_left", "h_foot_left"}, 7, 13},
      {{"h_pelvis_right", "h_thigh_right", "h_shin_right", "h_foot_right"}, 14, 20},
      {{"h_spine", "h_head"}, 25, 32},
      {{"h_scapula_left", "h_bicep_left", "h_forearm_left", "h_hand_left"}, 33, 41},
      {{"h_scapula_right", "h_bicep_right", "h_forearm_right", "h_hand_right"}, 42, 50},
  };
  for (const auto& [segments, from, to] : limbs)
    if (std::count(segments.begin(), segments.end(), segment))
      return dof >= from && dof <= to ? 1.0 : dof >= 4 && dof <= 6 ? 0.05 : 0.0;
  ADD_FAILURE() << segment << " has no row in the table";
  return 0.0;
}

// Every one of the 21 rows holds the limb-local preset.
inline void expectLimbWeights(const Figure& f) {
  ASSERT_EQ(f.dofWeights.size(), 21u);
  for (const Segment* s : f.segments()) {
    const std::vector<double>& row = f.dofWeights[s->index];
    ASSERT_EQ(row.size(), 51u) << s->name;
    for (int i = 0; i < 51; ++i) EXPECT_EQ(row[i], limbWeight(s->name, i)) << s->name << ", DOF " << i;
  }
}

inline void expectUniformWeights(const Figure& f) {
  for (const auto& row : f.dofWeights)
    for (double w : row) EXPECT_EQ(w, 1.0);
}
