#pragma once

#include <limits>
#include <memory>
#include <vector>

#include "math/Mat4.h"
#include "math/Quat.h"

// An elementary joint transform. It caches its matrix, recomputing it only
// when its parameters are set, and reads or writes its run of a DOF vector
// through a pointer that it advances by its own DOF count.
class Transform {
 public:
  virtual ~Transform() = default;

  virtual const Mat4* matrix() const = 0;
  // d matrix / d parameter k, 0 <= k < dofCount().
  virtual Mat4 derivative(int k) const = 0;
  virtual int dofCount() const = 0;
  virtual const double* setParams(const double* p) = 0;
  virtual double* getParams(double* p) const = 0;
  virtual std::unique_ptr<Transform> clone() const = 0;
  // Sets parameters that getParams gave: as setParams does, except that what
  // a joint holds already normalised keeps its bits instead of being
  // normalised again, so that reading a joint back and setting it changes
  // nothing.
  virtual const double* setHeldParams(const double* p) { return setParams(p); }

  // The exact state, for putting a joint back as it was: setting the same
  // parameters again is not enough, since setParams may clamp or normalise
  // them. saveState appends it to out; restoreState reads what saveState
  // wrote and returns the position after it. Every kind's state begins
  // with its limits switch, a setting that a saved step leaves out; by
  // default the parameters follow, restored with limits off.
  virtual void saveState(std::vector<double>& out) const;
  virtual const double* restoreState(const double* in);

  // Non-zero: joint limits are enforced by setParams (hinges only).
  double limitsEnabled = 0.0;
};

// The fixed identity; also the base of the kinds that keep a plain matrix.
class IdentityTransform : public Transform {
 public:
  const Mat4* matrix() const override { return &m; }
  Mat4 derivative(int k) const override;
  int dofCount() const override { return 0; }
  const double* setParams(const double* p) override { return p; }
  double* getParams(double* p) const override { return p; }
  std::unique_ptr<Transform> clone() const override;

 protected:
  Mat4 m;
};

// A free translation; its parameters live in the matrix's translation column.
class Translation final : public IdentityTransform {
 public:
  Translation(float tx, float ty, float tz);

  Mat4 derivative(int k) const override;
  int dofCount() const override { return 3; }
  const double* setParams(const double* p) override;
  double* getParams(double* p) const override;
  std::unique_ptr<Transform> clone() const override;
};

// A hinge about one coordinate axis (0 = x, 1 = y, 2 = z) with angle limits.
class AxisRotation final : public IdentityTransform {
 public:
  AxisRotation(int axis, double angle, double lower, double upper);

  Mat4 derivative(int k) const override;
  int dofCount() const override { return 1; }
  const double* setParams(const double* p) override;
  double* getParams(double* p) const override;
  std::unique_ptr<Transform> clone() const override;

  double angle;
  int axis;
  double lower;
  double upper;

 private:
  void updateMatrix();
};

// Inline, so that callers holding an AxisRotation can have it without a call.
inline Mat4 AxisRotation::derivative(int) const {
  // The cached matrix already holds float(cos) and float(sin) of the angle.
  Mat4 d = Mat4::zero();
  switch (axis) {
    case 0: {
      const float c = m[5], s = m[9];
      d[5] = -s, d[6] = -c, d[9] = c, d[10] = -s;
      break;
    }
    case 1: {
      const float c = m[0], s = m[2];
      d[0] = -s, d[2] = c, d[8] = -c, d[10] = -s;
      break;
    }
    case 2: {
      const float c = m[0], s = m[4];
      d[0] = -s, d[1] = -c, d[4] = c, d[5] = -s;
      break;
    }
    default:
      break;
  }
  return d;
}

// A ball joint given by a quaternion, kept normalised by setParams.
class QuatRotation final : public Transform {
 public:
  QuatRotation() = default;
  QuatRotation(double rx, double ry, double rz);

  const Mat4* matrix() const override { return &m; }
  Mat4 derivative(int k) const override;
  int dofCount() const override { return 4; }
  const double* setParams(const double* p) override;
  double* getParams(double* p) const override;
  std::unique_ptr<Transform> clone() const override;
  // A quaternion of unit length to within rounding is taken as it is.
  const double* setHeldParams(const double* p) override;
  // How far from 1 a squared length may be and still count as unit length.
  static constexpr double kUnitSlack = 8 * std::numeric_limits<double>::epsilon();
  // The quaternion as it is held, without normalising it again.
  void saveState(std::vector<double>& out) const override;
  const double* restoreState(const double* in) override;

  Quat q;

 private:
  Mat4 m;
};

// An owning sequence of transforms composed as children[0] * ... * children[n-1].
class TransformChain : public Transform {
 public:
  TransformChain() = default;
  explicit TransformChain(std::vector<std::unique_ptr<Transform>> parts);

  // Builds a chain from any number of owned transforms, in order.
  template <typename... Parts>
  static std::unique_ptr<TransformChain> of(std::unique_ptr<Parts>... parts) {
    std::vector<std::unique_ptr<Transform>> list;
    list.reserve(sizeof...(parts));
    (list.push_back(std::move(parts)), ...);
    return std::make_unique<TransformChain>(std::move(list));
  }

  const Mat4* matrix() const override { return &m; }
  Mat4 derivative(int k) const override;
  int dofCount() const override { return dofs; }
  const double* setParams(const double* p) override;
  double* getParams(double* p) const override;
  std::unique_ptr<Transform> clone() const override;
  const double* setHeldParams(const double* p) override;
  // Its own switch, then every element's state.
  void saveState(std::vector<double>& out) const override;
  const double* restoreState(const double* in) override;

  void append(std::unique_ptr<Transform> t);

  int childCount() const { return static_cast<int>(children.size()); }
  const Transform& child(int i) const { return *children[i]; }

 private:
  void recompute();

  std::vector<std::unique_ptr<Transform>> children;
  int dofs = 0;  // the elements' counts, summed as they are added: they never change
  Mat4 m;
};
