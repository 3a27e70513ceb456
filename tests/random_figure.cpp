#include "random_figure.h"

#include <algorithm>

#include "ik/Solver.h"

namespace {

// Every draw is a statement of its own: the order in which a call's
// arguments are evaluated is unspecified, and the same seed must give the
// same figure with any compiler on any machine.

// Exact zeros are common in real figures (joints at rest, offsets along one
// axis) and take the short paths of the products, so they come up often.
float coordinate(std::mt19937& rng, float reach) {
  if (rng() % 4 == 0) return 0.0f;
  return std::uniform_real_distribution<float>(-reach, reach)(rng);
}

// A kind of joint beyond the program's five, so that the general paths of
// the solver are taken too: one parameter k in one element of its matrix.
// In the bottom row (element 12) the matrix is no longer affine.
class OneElement final : public IdentityTransform {
 public:
  OneElement(int element, double k) : element(element), k(k) { m[element] = static_cast<float>(k); }
  Mat4 derivative(int) const override {
    Mat4 d = Mat4::zero();
    d[element] = 1.0f;
    return d;
  }
  int dofCount() const override { return 1; }
  const double* setParams(const double* p) override {
    k = p[0];
    m[element] = static_cast<float>(k);
    return p + 1;
  }
  double* getParams(double* p) const override {
    p[0] = k;
    return p + 1;
  }
  std::unique_ptr<Transform> clone() const override { return std::make_unique<OneElement>(element, k); }

 private:
  int element;
  double k;
};

}  // namespace

Vec3 RandomFigure::point(float reach) {
  const float x = coordinate(rng, reach), y = coordinate(rng, reach), z = coordinate(rng, reach);
  return Vec3(x, y, z);
}

std::unique_ptr<Transform> RandomFigure::joint(int depth) {
  if (rng() % 25 == 0) {
    const int element = rng() % 2 ? 1 : 12;  // a shear, or a bottom row that is not 0 0 0 1
    return std::make_unique<OneElement>(element, uniform(-0.3f, 0.3f));
  }
  switch (rng() % (depth < 2 ? 6 : 5)) {
    case 0:
      return std::make_unique<IdentityTransform>();
    case 1: {
      const Vec3 t = point(0.6f);
      return std::make_unique<Translation>(t.x, t.y, t.z);
    }
    case 2: {
      // Axes 3 and -1 are no axis at all: the hinge stays the identity.
      const int axis = static_cast<int>(rng() % 5) - 1;
      const double lower = uniform(-2.0f, 0.5f), upper = lower + uniform(0.0f, 2.5f);
      return std::make_unique<AxisRotation>(axis, uniform(-2.5f, 2.5f), lower, upper);
    }
    case 3:
      return std::make_unique<QuatRotation>();
    case 4: {
      const double rx = uniform(-3, 3), ry = uniform(-3, 3), rz = uniform(-3, 3);
      return std::make_unique<QuatRotation>(rx, ry, rz);
    }
    default: {
      auto chain = std::make_unique<TransformChain>();
      for (int n = static_cast<int>(rng() % 4); n > 0; --n) chain->append(joint(depth + 1));
      return chain;
    }
  }
}

// Names in creation order, one for each segment a figure can have, so that
// a pose written as text names every segment once.
const char* const kSegmentNames[] = {"s0",  "s1",  "s2",  "s3",  "s4",  "s5",  "s6",  "s7",  "s8",  "s9", "s10",
                                     "s11", "s12", "s13", "s14", "s15", "s16", "s17", "s18", "s19", "s20"};

std::unique_ptr<Segment> RandomFigure::segment(int index) {
  const Vec3 end = point(0.5f);
  return std::make_unique<Segment>(index, kSegmentNames[created++], end, joint(0));
}

RandomFigure::RandomFigure(std::uint32_t seed) : rng(seed) {
  const int count = 2 + static_cast<int>(rng() % 20);
  // Weight rows are chosen by index: some segments share a row.
  std::vector<int> indices(count);
  for (int& i : indices) i = static_cast<int>(rng() % Figure::kWeightRows);
  std::vector<Segment*> made;
  auto root = segment(indices[0]);
  made.push_back(root.get());
  for (int i = 1; i < count; ++i) {
    Segment* parent = made[rng() % made.size()];
    made.push_back(parent->addChild(segment(indices[i])));
  }
  body = std::make_unique<Figure>(std::move(root));
  all = body->segments();
  for (unsigned char& flag : body->angularDof) flag = rng() % 3 == 0;
  for (auto& row : body->dofWeights) row.assign(body->dofCount, 1.0);
  if (rng() % 2) scrambleWeights();
  body->limitsEnabled = rng() % 2;
}

RandomFigure::~RandomFigure() {
  while (!body->handles.empty()) body->removeHandle(body->handles.front().handle);
}

Handle* RandomFigure::addHandle() {
  const Vec3 p = point(0.4f);
  handles.push_back(std::make_unique<Handle>(p.x, p.y, p.z));
  body->addHandle(handles.back().get(), all[rng() % all.size()]);
  return handles.back().get();
}

Handle* RandomFigure::addTwice() {
  if (body->handles.empty()) return addHandle();
  const HandleEntry entry = *std::next(body->handles.begin(), rng() % body->handles.size());
  body->addHandle(entry.handle, entry.segment);
  return entry.handle;
}

Handle* RandomFigure::anyHandle() {
  if (body->handles.empty()) return nullptr;
  return std::next(body->handles.begin(), rng() % body->handles.size())->handle;
}

bool RandomFigure::removeHandle() {
  Handle* h = anyHandle();
  if (h) body->removeHandle(h);
  return h != nullptr;
}

void RandomFigure::aimEveryHandle() {
  for (const HandleEntry& e : body->handles) {
    const float x = uniform(-1, 1), y = uniform(-1, 1), z = uniform(-1, 1);
    e.handle->targetPos = Vec3(x, y, z);
  }
}

void RandomFigure::editAtRandom() {
  for (int step = 0; step < 4; ++step) {
    switch (rng() % 4) {
      case 0:
        addHandle();
        break;
      case 1:
        addTwice();
        break;
      case 2:
        removeHandle();
        break;
      default:
        body->limitsEnabled = !body->limitsEnabled;
        break;
    }
    aimEveryHandle();
    body->updateHandlePositions();
    body->solve(anyHandle());
  }
}

void RandomFigure::scrambleWeights() {
  const double choices[] = {0.0, 0.05, 1.0, 1.0};
  for (auto& row : body->dofWeights) {
    for (double& w : row) w = rng() % 5 == 0 ? uniform(0.1f, 2.0f) : choices[rng() % 4];
  }
}
