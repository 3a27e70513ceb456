#pragma once

#include <array>
#include <list>
#include <memory>
#include <vector>

#include "figure/Handle.h"
#include "figure/Segment.h"
#include "math/Mat4.h"
#include "math/Vec3.h"

// The result of casting a ray onto the body.
struct SurfaceHit {
  const Segment* segment = nullptr;  // null when nothing was hit
  Vec3 point;                  // in the segment's frame
};

class GradientPass;
struct SolveResult;

// The articulated body: the segment tree, the numbering of all joint
// parameters as one DOF vector, the handles and the solver's settings.
//
// What may change once a figure is built: the joints' parameters (setDofs,
// or restoreState), the handles (addHandle, removeHandle), the weights, the
// angular flags, the tolerance and the limits switch. The solver takes note of the handles and
// weights at the start of every solve, so callers need do nothing after
// changing them. What may not: the tree and its joints. No segment is added
// or moved and no joint replaced or extended after construction: the DOF
// count is fixed then, and the solver lays out its work for the tree on its
// first use.

class Figure {
 public:
  static constexpr int kWeightRows = 21;

  explicit Figure(std::unique_ptr<Segment> root);
  ~Figure();

  Figure(const Figure&) = delete;
  Figure& operator=(const Figure&) = delete;

  // The one frame rule of every pass: W = P * (T * J), T the attachment
  // translation and J the joint's current matrix.
  static Mat4 frame(const Mat4& parentWorld, const Segment& s) {
    return parentWorld * (translationMatrix(s.attachment()) * *s.joint->matrix());
  }

  // ---- DOF vector
  int countDofs(const Segment* s) const;
  // held: the values are what getDofs gave (see Transform::setHeldParams).
  int setDofs(Segment* s, const double* values, bool limits, bool held = false);
  int getDofs(const Segment* s, double* values) const;
  std::vector<double> dofs() const;
  void setDofs(const std::vector<double>& values) { setDofs(root.get(), values.data(), limitsEnabled); }
  void setHeldDofs(const std::vector<double>& values) { setDofs(root.get(), values.data(), limitsEnabled, true); }

  // ---- handles
  void addHandle(Handle* handle, Segment* segment);
  void removeHandle(Handle* handle);
  void updateHandlePositions();
  int handleCount() const { return static_cast<int>(handles.size()); }
  Segment* segmentOf(const Handle* handle) const;

  // ---- gradient (the solver's inner pass)
  // Recomputes every handle's worldPos and writes to g (dofCount floats) the
  // weighted Jacobian-transpose gradient of the handles' squared errors.
  void gradient(const Handle* dragged, float* g);
  void setUniformWeights();
  void setLimbWeights();

  // ---- drag solver
  // The iteration, towards the handles' current targets.
  SolveResult solve(const Handle* dragged);

  // ---- picking
  // The first body along the world-space ray from nearPoint to farPoint.
  SurfaceHit pickRay(const Vec3& nearPoint, const Vec3& farPoint) const;

  // ---- extent
  // The largest direction . p over the points p of the drawn body, in the
  // figure's own units.
  double reach(const Vec3& direction) const;

  // ---- lookups
  Segment* findSegment(const char* name) const;
  // Every segment in pre-order.
  std::vector<Segment*> segments() const;

  std::unique_ptr<Segment> root;
  int dofCount;
  std::list<HandleEntry> handles;  // in insertion order
  std::vector<unsigned char> angularDof;
  std::array<std::vector<double>, kWeightRows> dofWeights;
  double tolerance = 0.01;
  bool limitsEnabled = false;
  // Where the figure's front and its left side point in its own frame, +y
  // up: what the named views look from.
  Vec3 front = Vec3(0, 0, -1);
  Vec3 left = Vec3(1, 0, 0);
  bool limbWeights = false;  // the preset setLimbWeights set last, not setUniformWeights

 private:
  void updateHandlePositions(Segment* s, const Mat4& parentWorld);
  double pickSegment(const Segment* s, const Vec3& nearPoint, const Vec3& farPoint, SurfaceHit& hit, double best,
                     Mat4 parentWorld) const;
  void collectHandles(Segment* s);
  GradientPass& pass();

  // The solver's pass over the tree, laid out on its first use; deleted by
  // the solver's code, which alone knows the type.
  struct PassDeleter {
    void operator()(GradientPass* pass) const;
  };
  std::unique_ptr<GradientPass, PassDeleter> gradientPass;
};
