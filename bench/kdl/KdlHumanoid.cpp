#include "KdlHumanoid.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <kdl/chain.hpp>
#include <kdl/chainfksolverpos_recursive.hpp>
#include <kdl/frames.hpp>
#include <kdl/jacobian.hpp>
#include <kdl/jntarray.hpp>
#include <kdl/tree.hpp>
#include <kdl/treejnttojacsolver.hpp>
#include <map>
#include <stdexcept>
#include <string>

#include "bench/BenchFigure.h"
#include "bench/Timing.h"
#include "figure/Transform.h"

namespace {

constexpr double kDraggedWeight = 3.0;
const char* const kWorld = "world";  // "root" is taken by the figure's root segment

// One KDL joint that an elementary figure transform turns into.
struct Elementary {
  KDL::Joint::JointType type;
  const char* suffix;
  double value;
  int dof;        // the figure DOF that drives it, -1 for none
  int ball = -1;  // for a ball joint's angles, the first DOF of its quaternion
};

// Angles (a, b, c) with R = Rx(a) Ry(b) Rz(c), read off the figure's matrix.
// c comes from Rx(a)^T R rather than from its own two entries, so that it
// absorbs whatever a is near the lock at b = +-pi/2, where a is all noise.
void eulerXyz(const Mat4& m, double& a, double& b, double& c) {
  const double r00 = m[0], r01 = m[1], r02 = m[2];
  const double r10 = m[4], r11 = m[5], r12 = m[6];
  const double r20 = m[8], r21 = m[9], r22 = m[10];
  b = std::atan2(r02, std::hypot(r00, r01));
  a = std::atan2(-r12, r22);
  const double ca = std::cos(a), sa = std::sin(a);
  c = std::atan2(ca * r10 + sa * r20, ca * r11 + sa * r21);
}

void collect(const Transform& t, int& dof, std::vector<Elementary>& out) {
  if (auto* chain = dynamic_cast<const TransformChain*>(&t)) {
    for (int i = 0; i < chain->childCount(); ++i) collect(chain->child(i), dof, out);
  } else if (auto* tr = dynamic_cast<const Translation*>(&t)) {
    double p[3];
    tr->getParams(p);
    out.push_back({KDL::Joint::TransX, "tx", p[0], dof});
    out.push_back({KDL::Joint::TransY, "ty", p[1], dof + 1});
    out.push_back({KDL::Joint::TransZ, "tz", p[2], dof + 2});
    dof += 3;
  } else if (auto* hinge = dynamic_cast<const AxisRotation*>(&t)) {
    static const KDL::Joint::JointType types[] = {KDL::Joint::RotX, KDL::Joint::RotY, KDL::Joint::RotZ};
    static const char* const names[] = {"rx", "ry", "rz"};
    if (hinge->axis < 0 || hinge->axis > 2) throw std::invalid_argument("hinge axis out of range");
    out.push_back({types[hinge->axis], names[hinge->axis], hinge->angle, dof});
    dof += 1;
  } else if (dynamic_cast<const QuatRotation*>(&t)) {
    double a, b, c;
    eulerXyz(*t.matrix(), a, b, c);
    out.push_back({KDL::Joint::RotX, "rx", a, -1, dof});
    out.push_back({KDL::Joint::RotY, "ry", b, -1, dof});
    out.push_back({KDL::Joint::RotZ, "rz", c, -1, dof});
    dof += 4;
  } else if (t.dofCount() != 0) {
    throw std::invalid_argument("joint kind without a KDL counterpart");
  }
}

KDL::Vector vec(const Vec3& v) { return KDL::Vector(v.x, v.y, v.z); }

}  // namespace

struct KdlHumanoid::Impl {
  // Everything one handle needs; heap-held because the solver keeps a
  // reference to the chain.
  struct HandleChain {
    std::string tip;  // the handle's KDL segment
    KDL::Chain chain;
    std::vector<unsigned> joints;  // chain joint -> tree joint
    KDL::JntArray q;
    KDL::Jacobian jac;  // over all tree joints
    std::unique_ptr<KDL::ChainFkSolverPos_recursive> fk;
    KDL::Frame frame;
    KDL::Vector target;
    double weight = 1.0;

    void gatherJoints(const KDL::JntArray& treeQ) {
      for (size_t j = 0; j < joints.size(); ++j) q(j) = treeQ(joints[j]);
    }
  };

  KDL::Tree tree{kWorld};
  KDL::JntArray q;
  std::vector<std::string> dofSegment;                   // figure DOF -> KDL segment, empty for none
  std::map<int, std::vector<std::string>> ballSegments;  // quaternion's first DOF -> its angles' segments
  std::vector<int> dofJoint;
  std::map<const Segment*, std::string> endOf;  // figure segment -> KDL segment at its end
  std::vector<std::pair<std::string, double>> startValues;
  std::vector<std::unique_ptr<HandleChain>> chains;
  std::unique_ptr<KDL::TreeJntToJacSolver> jacSolver;  // refers to tree

  void add(const KDL::Segment& s, const std::string& hook) {
    if (!tree.addSegment(s, hook)) throw std::runtime_error("KDL rejected segment " + s.getName());
  }

  void addFigureSegment(const Segment& s, std::string hook, int& dof) {
    const std::string name = s.name;
    // Only the root has an attachment of its own; every other one is folded
    // into the parent's last KDL segment.
    if (!s.parent) {
      const Vec3& a = s.attachment();
      if (a.x != 0.0f || a.y != 0.0f || a.z != 0.0f) {
        add(KDL::Segment(name + ".attach", KDL::Joint(KDL::Joint::Fixed), KDL::Frame(vec(a))), hook);
        hook = name + ".attach";
      }
    }
    std::vector<Elementary> parts;
    collect(*s.joint, dof, parts);
    const KDL::Frame toEnd(vec(s.endOffset));
    if (parts.empty()) {
      add(KDL::Segment(name, KDL::Joint(name, KDL::Joint::Fixed), toEnd), hook);
      hook = name;
    }
    for (size_t k = 0; k < parts.size(); ++k) {
      const Elementary& e = parts[k];
      const std::string part = name + "." + std::to_string(k) + e.suffix;
      const KDL::Frame tip = k + 1 == parts.size() ? toEnd : KDL::Frame::Identity();
      add(KDL::Segment(part, KDL::Joint(part, e.type), tip), hook);
      startValues.emplace_back(part, e.value);
      if (e.dof >= 0) {
        if (static_cast<int>(dofSegment.size()) <= e.dof) dofSegment.resize(e.dof + 1);
        dofSegment[e.dof] = part;
      }
      if (e.ball >= 0) ballSegments[e.ball].push_back(part);
      hook = part;
    }
    endOf[&s] = hook;
    for (int i = 0; i < s.childCount(); ++i) addFigureSegment(*s.child(i), hook, dof);
  }

  unsigned jointNumber(const std::string& segment) const {
    auto it = tree.getSegment(segment);
    if (it == tree.getSegments().end()) throw std::logic_error("no KDL segment " + segment);
    return GetTreeElementQNr(it->second);
  }
};

KdlHumanoid::KdlHumanoid(const Figure& figure, const std::vector<HandlePoint>& handles,
                         const std::vector<Vec3>& targets)
    : impl(std::make_unique<Impl>()) {
  Impl& m = *impl;
  int dof = 0;
  m.addFigureSegment(*figure.root, kWorld, dof);
  m.dofSegment.resize(dof);

  // Handle points as fixed tips, so that the chain's end is the point itself.
  for (size_t i = 0; i < handles.size(); ++i) {
    const auto end = m.endOf.find(handles[i].first);
    if (end == m.endOf.end()) throw std::invalid_argument("handle on a segment outside the figure");
    const Vec3 p = handles[i].first->endOffset;
    const Vec3 local = handles[i].second;
    const KDL::Vector fromEnd(double(local.x) - p.x, double(local.y) - p.y, double(local.z) - p.z);
    m.add(KDL::Segment("handle." + std::to_string(i), KDL::Joint(KDL::Joint::Fixed), KDL::Frame(fromEnd)),
          end->second);
  }

  m.q.resize(m.tree.getNrOfJoints());
  for (const auto& [segment, value] : m.startValues) m.q(m.jointNumber(segment)) = value;
  m.dofJoint.assign(dof, -1);
  for (int d = 0; d < dof; ++d) {
    if (!m.dofSegment[d].empty()) m.dofJoint[d] = static_cast<int>(m.jointNumber(m.dofSegment[d]));
  }

  for (size_t i = 0; i < handles.size(); ++i) {
    auto c = std::make_unique<Impl::HandleChain>();
    c->tip = "handle." + std::to_string(i);
    if (!m.tree.getChain(kWorld, c->tip, c->chain)) throw std::logic_error("no KDL chain to a handle");
    for (unsigned s = 0; s < c->chain.getNrOfSegments(); ++s) {
      const KDL::Segment& seg = c->chain.getSegment(s);
      if (seg.getJoint().getType() != KDL::Joint::Fixed) c->joints.push_back(m.jointNumber(seg.getName()));
    }
    c->q.resize(c->chain.getNrOfJoints());
    c->jac.resize(m.tree.getNrOfJoints());
    c->fk = std::make_unique<KDL::ChainFkSolverPos_recursive>(c->chain);
    c->weight = i == 0 ? kDraggedWeight : 1.0;
    m.chains.push_back(std::move(c));
  }
  m.jacSolver = std::make_unique<KDL::TreeJntToJacSolver>(m.tree);
  setTargets(targets);
}

KdlHumanoid::~KdlHumanoid() = default;
KdlHumanoid::KdlHumanoid(KdlHumanoid&&) noexcept = default;
KdlHumanoid& KdlHumanoid::operator=(KdlHumanoid&&) noexcept = default;

KdlHumanoid KdlHumanoid::fromFigureHandles(const Figure& figure) {
  std::vector<HandlePoint> points;
  std::vector<Vec3> targets;
  for (const HandleEntry& e : figure.handles) {
    points.emplace_back(e.segment, e.handle->localPos);
    targets.push_back(e.handle->targetPos);
  }
  return KdlHumanoid(figure, points, targets);
}

void KdlHumanoid::iteration(std::vector<double>& gradient) {
  Impl& m = *impl;
  gradient.assign(m.q.rows(), 0.0);
  for (auto& c : m.chains) {
    c->gatherJoints(m.q);
    c->fk->JntToCart(c->q, c->frame);
    m.jacSolver->JntToJac(m.q, c->jac, c->tip);
    const KDL::Vector e = (c->frame.p - c->target) * c->weight;
    // Only the linear rows, as the error is a position; only the chain's
    // columns, as the others are zero.
    for (unsigned j : c->joints) {
      gradient[j] += c->jac(0, j) * e.x() + c->jac(1, j) * e.y() + c->jac(2, j) * e.z();
    }
  }
}

std::vector<Vec3> KdlHumanoid::positions() {
  std::vector<Vec3> out;
  out.reserve(impl->chains.size());
  for (auto& c : impl->chains) {
    c->gatherJoints(impl->q);
    c->fk->JntToCart(c->q, c->frame);
    out.emplace_back(static_cast<float>(c->frame.p.x()), static_cast<float>(c->frame.p.y()),
                     static_cast<float>(c->frame.p.z()));
  }
  return out;
}

double KdlHumanoid::objective() {
  double sum = 0.0;
  for (auto& c : impl->chains) {
    c->gatherJoints(impl->q);
    c->fk->JntToCart(c->q, c->frame);
    const KDL::Vector e = c->frame.p - c->target;
    sum += 0.5 * c->weight * KDL::dot(e, e);
  }
  return sum;
}

int KdlHumanoid::jointCount() const { return static_cast<int>(impl->q.rows()); }

int KdlHumanoid::handleCount() const { return static_cast<int>(impl->chains.size()); }

std::vector<double> KdlHumanoid::jointPositions() const {
  std::vector<double> v(impl->q.rows());
  for (unsigned i = 0; i < impl->q.rows(); ++i) v[i] = impl->q(i);
  return v;
}

void KdlHumanoid::setJointPositions(const std::vector<double>& q) {
  if (q.size() != impl->q.rows()) throw std::invalid_argument("wrong number of joint values");
  for (unsigned i = 0; i < impl->q.rows(); ++i) impl->q(i) = q[i];
}

void KdlHumanoid::setTargets(const std::vector<Vec3>& targets) {
  if (targets.size() != impl->chains.size()) throw std::invalid_argument("one target per handle");
  for (size_t i = 0; i < targets.size(); ++i) impl->chains[i]->target = vec(targets[i]);
}

int KdlHumanoid::jointOfDof(int figureDof) const {
  if (figureDof < 0 || figureDof >= static_cast<int>(impl->dofJoint.size())) return -1;
  return impl->dofJoint[figureDof];
}

std::vector<int> KdlHumanoid::jointsOfBall(int firstDof) const {
  std::vector<int> joints;
  const auto it = impl->ballSegments.find(firstDof);
  if (it == impl->ballSegments.end()) return joints;
  for (const std::string& segment : it->second)
    joints.push_back(static_cast<int>(impl->jointNumber(segment)));
  return joints;
}

const KDL::Tree& KdlHumanoid::tree() const { return impl->tree; }

double kdlSecondsPerIteration(int handles) {
  BenchFigure bench(handles);
  KdlHumanoid kdl = KdlHumanoid::fromFigureHandles(*bench.figure);
  std::vector<double> gradient;
  return secondsPerCall([&] { kdl.iteration(gradient); });
}
