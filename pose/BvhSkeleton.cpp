#include "pose/BvhSkeleton.h"

#include <set>
#include <string_view>

#include "pose/ShownText.h"

namespace bvh {

namespace {

bool isIdentity(const Mat4& m) {
  const Mat4 identity;
  for (int i = 0; i < 16; ++i) {
    if (m[i] != identity[i]) return false;
  }
  return true;
}

bool isWord(const char* name) {
  if (!name || !*name) return false;
  for (unsigned char c : std::string_view(name)) {
    if (c <= 0x20 || c >= 0x7f) return false;
  }
  return true;
}

// The joint's elements with their first parameters, chains opened up and
// fixed identities left out.
struct Element {
  const Transform* transform;
  int param;
};

void flatten(const Transform& t, int& param, std::vector<Element>& out) {
  if (const auto* chain = dynamic_cast<const TransformChain*>(&t)) {
    for (int i = 0; i < chain->childCount(); ++i) flatten(chain->child(i), param, out);
    return;
  }
  if (t.dofCount() > 0 || !isIdentity(*t.matrix())) out.push_back({&t, param});
  param += t.dofCount();
}

// Fills the joint's channels from its segment's elements; an error when
// BVH cannot hold them.
std::string describe(Joint& joint, bool root) {
  std::vector<Element> elements;
  int param = 0;
  flatten(*joint.segment->joint, param, elements);
  std::vector<Element> hinges, quaternions;
  for (const Element& e : elements) {
    if (dynamic_cast<const Translation*>(e.transform)) {
      if (!root) return "a translation, which only the root may have";
      if (joint.translation >= 0 || !hinges.empty() || !quaternions.empty()) {
        return "a translation after its first, or after a rotation";
      }
      joint.translation = e.param;
    } else if (const auto* hinge = dynamic_cast<const AxisRotation*>(e.transform)) {
      if (hinge->axis < 0 || hinge->axis > 2) return "a hinge about no axis";
      hinges.push_back(e);
    } else if (dynamic_cast<const QuatRotation*>(e.transform)) {
      quaternions.push_back(e);
    } else {
      return e.transform->dofCount() > 0 ? "a joint of a kind other than translation, hinge and quaternion"
                                         : "a fixed transform other than the identity";
    }
  }
  if (quaternions.size() > 1 || (quaternions.size() == 1 && !hinges.empty())) {
    return "a quaternion with another rotation";
  }
  if (hinges.size() > 2) return "more than two hinges";
  if (quaternions.size() == 1) {
    joint.turn = Turn::Quaternion;
    joint.turnParam = quaternions[0].param;
  } else if (hinges.size() == 1) {
    joint.turn = Turn::Hinge;
    joint.turnParam = hinges[0].param;
    joint.axes[0] = static_cast<const AxisRotation*>(hinges[0].transform)->axis;
  } else if (hinges.size() == 2) {
    const int a = static_cast<const AxisRotation*>(hinges[0].transform)->axis;
    const int b = static_cast<const AxisRotation*>(hinges[1].transform)->axis;
    if (a == b) return "two hinges about the same axis";
    joint.turn = Turn::HingePair;
    joint.turnParam = hinges[0].param;
    joint.secondParam = hinges[1].param;
    joint.axes[0] = a;
    joint.axes[1] = b;
    // ZXY holds the pair exactly when a comes before b in it; otherwise
    // a, b, then the third axis, which stays zero.
    const int rank[3] = {1, 2, 0};
    if (rank[a] > rank[b]) joint.order = {a, b, 3 - a - b};
  }
  return "";
}

class Builder {
 public:
  explicit Builder(const Figure& figure) : root(figure.root.get()) {}

  Skeleton run() {
    add(root, -1, {0, 0, 0});
    for (Joint& j : skeleton.joints) {
      if (!skeleton.error.empty()) break;
      const Vec3& end = j.segment->endOffset;
      if (j.leaf && end.x == 0 && end.y == 0 && end.z == 0) {
        fail(j.segment, "ends where it begins, and a BVH end site needs a length");
      }
    }
    if (!skeleton.error.empty()) skeleton.joints.clear();
    return std::move(skeleton);
  }

 private:
  void fail(const Segment* s, const std::string& what) {
    if (skeleton.error.empty()) skeleton.error = "segment " + quotedToken(s->name) + " " + what;
  }

  // The segment s, a joint when it moves, and everything below it; above
  // is the joint s is under, offset where s's frame begins in its frame.
  void add(const Segment* s, int above, std::array<double, 3> offset) {
    const int index = visited++;
    int parentOfChildren = above;
    if (above < 0 || s->joint->dofCount() > 0) {
      Joint joint;
      joint.segment = s;
      joint.segmentIndex = index;
      joint.parent = above;
      joint.offset = above < 0 ? std::array<double, 3>{0, 0, 0} : offset;
      if (!isWord(s->name)) return fail(s, "has a name that is not one printable ASCII word, as BVH needs");
      if (!names.insert(s->name).second) return fail(s, "has the name of another joint");
      const std::string refusal = describe(joint, above < 0);
      if (!refusal.empty()) return fail(s, "has " + refusal + ": BVH cannot hold it");
      if (above >= 0) skeleton.joints[above].leaf = false;
      parentOfChildren = static_cast<int>(skeleton.joints.size());
      skeleton.joints.push_back(joint);
      offset = {0, 0, 0};
    } else if (!isIdentity(*s->joint->matrix())) {
      return fail(s, "has a fixed transform other than the identity: BVH cannot hold it");
    }
    // The children's frames begin at this segment's end.
    const Vec3& end = s->endOffset;
    offset = {offset[0] + end.x, offset[1] + end.y, offset[2] + end.z};
    for (int i = 0; i < s->childCount() && skeleton.error.empty(); ++i)
      add(s->child(i), parentOfChildren, offset);
  }

  const Segment* root;
  std::set<std::string_view> names;
  int visited = 0;  // segments so far, in pre-order
  Skeleton skeleton;
};

}  // namespace

Skeleton skeletonOf(const Figure& figure) { return Builder(figure).run(); }

}  // namespace bvh
