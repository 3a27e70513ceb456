#include "ik/FirmPins.h"

#include <algorithm>
#include <cmath>

#include "figure/Figure.h"
#include "figure/ParamKinds.h"
#include "ik/ConstrainedStep.h"
#include "ik/Solver.h"

namespace {

// Damping of the pins' system (metres squared): small, so that they settle
// in few iterations, yet enough to keep a straight leg's step finite.
constexpr double kPinDamping = 1e-6;
// Damping of the dragged handle's system: a stretched arm takes short steps.
constexpr double kDragDamping = 2.5e-3;
// How far one iteration may aim: a pin's or the dragged handle's error is cut
// to this length (metres), and neither step moves a DOF further than kLongestStep.
constexpr double kPinReach = 0.1;
constexpr double kDragReach = 0.05;
constexpr double kLongestStep = 0.2;
// A step of the dragged handle may leave the pins this far off (metres), for
// the next iteration to take back; one that leaves them further is shortened,
// to a quarter each time, at most kShortenings times, then left out.
constexpr double kDragSlack = 1e-3;
constexpr int kShortenings = 3;
// A hinge held at a limit is stepped again this many times in one iteration.
constexpr int kRetries = 4;
// A step whose largest DOF change is below this moves nothing that shows.
constexpr double kStill = 1e-7;

bool isAngle(ParamKind kind) {
  return kind == ParamKind::AngleX || kind == ParamKind::AngleY || kind == ParamKind::AngleZ ||
         kind == ParamKind::AngleAboutNoAxis;
}

// The error from `from` to `to`, cut to at most `reach` in length.
void cutError(const Vec3& from, const Vec3& to, double reach, double* out) {
  const double e[3] = {double(to.x) - from.x, double(to.y) - from.y, double(to.z) - from.z};
  const double l = std::sqrt(e[0] * e[0] + e[1] * e[1] + e[2] * e[2]);
  const double scale = l > reach ? reach / l : 1.0;
  for (int r = 0; r < 3; ++r) out[r] = e[r] * scale;
}

double largest(const std::vector<double>& v) {
  double m = 0.0;
  for (double x : v) m = std::max(m, std::fabs(x));
  return m;
}

void limitLength(std::vector<double>& v) {
  const double m = largest(v);
  if (m > kLongestStep) {
    for (double& x : v) x *= kLongestStep / m;
  }
}

bool finite(const std::vector<double>& v) {
  return std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); });
}

}  // namespace

FirmPins::FirmPins(Figure& figure_, const Handle* dragged_, const std::vector<unsigned char>& fixed)
    : figure(figure_), dragged(dragged_), jacobian(figure_), n(figure_.dofCount) {
  for (const HandleEntry& e : figure.handles) {
    if (e.handle == dragged) {
      draggedSegment = e.segment;
    } else if (std::none_of(pins.begin(), pins.end(), [&](const Pin& p) { return p.handle == e.handle; })) {
      pins.push_back({e.segment, e.handle});
    }
  }
  rows = 3 * static_cast<int>(pins.size());
  for (const Segment* s : figure.segments()) {
    for (ParamKind kind : paramKinds(*s->joint)) {
      if (kind == ParamKind::QuatX) quaternions.push_back(static_cast<int>(hinge.size()));
      hinge.push_back(isAngle(kind));
    }
  }
  locked = fixed.size() == static_cast<std::size_t>(n) ? fixed : std::vector<unsigned char>(n, 0);
  weights.assign(n, 0.0);
  if (draggedSegment) {
    const std::vector<double>& row = figure.dofWeights[draggedSegment->index];
    for (int k = 0; k < n; ++k) weights[k] = std::sqrt(std::fabs(row[k]));
  }
  Jp.resize(static_cast<std::size_t>(rows) * n);
  Jd.resize(3 * n);
  ep.resize(rows);
  ed.resize(3);
}

FirmPins::Result FirmPins::hold(Figure& figure, const Handle* dragged,
                                const std::vector<unsigned char>& fixed) {
  FirmPins pass(figure, dragged, fixed);
  return pass.run();
}

FirmPins::Result FirmPins::solve(Figure& figure, const Handle* dragged) {
  const std::vector<double> before = figure.dofs();
  figure.solve(dragged);
  return afterSolve(figure, dragged, before);
}

FirmPins::Result FirmPins::afterSolve(Figure& figure, const Handle* dragged,
                                      const std::vector<double>& before) {
  figure.setHeldDofs(before);
  return hold(figure, dragged);
}

double FirmPins::worstPin() const {
  double worst = 0.0;
  for (const Pin& p : pins) worst = std::max(worst, double(length(p.handle->worldPos - p.handle->targetPos)));
  return worst;
}

FirmPins::Result FirmPins::run() {
  Result result;
  if (pins.empty()) return result;
  std::vector<double> lastHeld;
  for (int it = 0; it < kDragIterations + kSettleIterations; ++it) {
    const bool dragging = draggedSegment && it < kDragIterations;
    figure.updateHandlePositions();
    const double worst = worstPin();
    x = figure.dofs();
    if (worst <= kHeld) lastHeld = x;
    if (!dragging && worst < kSettled) break;
    ++result.iterations;
    if (!iterate(dragging, worst)) break;
  }
  figure.updateHandlePositions();
  result.worstPin = worstPin();
  if (result.worstPin > kHeld && !lastHeld.empty()) {
    figure.setHeldDofs(lastHeld);
    figure.updateHandlePositions();
    result.worstPin = worstPin();
  }
  return result;
}

bool FirmPins::iterate(bool dragging, double worst) {
  measure(dragging);
  std::vector<double> pinStep, dragStep;
  for (int attempt = 0;; ++attempt) {
    holdLocked();
    if (!plan(dragging, pinStep, dragStep)) return false;
    // Nothing left to move: the pins have settled and the dragged handle
    // has gone as far as they let it.
    if (worst < kSettled && std::max(largest(pinStep), largest(dragStep)) < kStill) return false;
    if (apply(pinStep, dragStep, worst) || attempt == kRetries) return true;
  }
}

void FirmPins::measure(bool dragging) {
  jacobian.update();
  for (std::size_t i = 0; i < pins.size(); ++i) {
    jacobian.rows(pins[i].segment, pins[i].handle->localPos, Jp.data() + 3 * i * n);
    cutError(pins[i].handle->worldPos, pins[i].handle->targetPos, kPinReach, ep.data() + 3 * i);
  }
  if (dragging) {
    jacobian.rows(draggedSegment, dragged->localPos, Jd.data());
    cutError(dragged->worldPos, dragged->targetPos, kDragReach, ed.data());
  }
}

void FirmPins::holdLocked() {
  for (int k = 0; k < n; ++k) {
    if (!locked[k]) continue;
    for (int i = 0; i < rows; ++i) Jp[i * n + k] = 0.0;
    for (int i = 0; i < 3; ++i) Jd[i * n + k] = 0.0;
    weights[k] = 0.0;
  }
}

bool FirmPins::plan(bool dragging, std::vector<double>& pinStep, std::vector<double>& dragStep) {
  ConstrainedStep step(n, rows, kPinDamping, kDragDamping);
  if (!step.pins(Jp, ep, pinStep)) return false;
  limitLength(pinStep);
  keepQuaternionsUnit(pinStep);
  dragStep.assign(n, 0.0);
  if (dragging) {
    std::vector<double> r = ed;
    for (int i = 0; i < 3; ++i) {
      for (int k = 0; k < n; ++k) r[i] -= Jd[i * n + k] * pinStep[k];
    }
    if (!step.dragged(Jd, weights, r, dragStep)) return false;
    limitLength(dragStep);
    keepQuaternionsUnit(dragStep);
  }
  return finite(pinStep) && finite(dragStep);
}

// A quaternion's change along itself only rescales it, which its joint
// normalises away: the rotation would come out smaller than planned.
void FirmPins::keepQuaternionsUnit(std::vector<double>& step) const {
  for (int q : quaternions) {
    double along = 0.0, norm = 0.0;
    for (int c = 0; c < 4; ++c) along += step[q + c] * x[q + c], norm += x[q + c] * x[q + c];
    if (norm == 0.0) continue;
    for (int c = 0; c < 4; ++c) step[q + c] -= along / norm * x[q + c];
  }
}

bool FirmPins::apply(const std::vector<double>& pinStep, std::vector<double> dragStep, double worst) {
  std::vector<double> values(n);
  for (int shortening = 0;; ++shortening) {
    const bool last = shortening > kShortenings;
    if (last) std::fill(dragStep.begin(), dragStep.end(), 0.0);
    for (int k = 0; k < n; ++k) values[k] = x[k] + pinStep[k] + dragStep[k];
    if (!setAndCheckLimits(values)) return false;
    if (last) return true;
    figure.updateHandlePositions();
    if (worstPin() <= std::max(worst, kDragSlack)) return true;
    for (double& v : dragStep) v *= 0.25;
  }
}

// A hinge that its limit stopped is held there from now on, and the pose put
// back to x for the step to be planned again without it.
bool FirmPins::setAndCheckLimits(const std::vector<double>& values) {
  figure.setDofs(values);
  const std::vector<double> kept = figure.dofs();
  bool stopped = false;
  for (int k = 0; k < n; ++k) {
    if (hinge[k] && !locked[k] && kept[k] != values[k]) locked[k] = 1, stopped = true;
  }
  if (stopped) figure.setHeldDofs(x);
  return !stopped;
}
