#include "figure/Figure.h"

#include <algorithm>
#include <cstring>
#include <functional>

Figure::Figure(std::unique_ptr<Segment> root_) : root(std::move(root_)) {
  dofCount = countDofs(root.get());
  angularDof.resize(dofCount);
  tolerance = 0.01;
  collectHandles(root.get());
}

Figure::~Figure() = default;

void Figure::collectHandles(Segment* s) {
  for (Handle* h : s->handles) handles.push_back({s, h});
  for (int i = 0; i < s->childCount(); ++i) collectHandles(s->child(i));
}

int Figure::countDofs(const Segment* s) const {
  int n = s->joint->dofCount();
  for (int i = 0; i < s->childCount(); ++i) n += countDofs(s->child(i));
  return n;
}

int Figure::setDofs(Segment* s, const double* values, bool limits, bool held) {
  // The switch reaches only the segment's own joint; a chain's elements keep theirs.
  s->joint->limitsEnabled = limits ? 1.0 : 0.0;
  if (held) {
    s->joint->setHeldParams(values);
  } else {
    s->joint->setParams(values);
  }
  int taken = s->joint->dofCount();
  for (int i = 0; i < s->childCount(); ++i) taken += setDofs(s->child(i), values + taken, limits, held);
  return taken;
}

int Figure::getDofs(const Segment* s, double* values) const {
  s->joint->getParams(values);
  int written = s->joint->dofCount();
  for (int i = 0; i < s->childCount(); ++i) written += getDofs(s->child(i), values + written);
  return written;
}

std::vector<double> Figure::dofs() const {
  std::vector<double> v(dofCount);
  getDofs(root.get(), v.data());
  return v;
}

void Figure::addHandle(Handle* handle, Segment* segment) {
  handles.push_back({segment, handle});
  segment->handles.push_back(handle);
}

void Figure::removeHandle(Handle* handle) {
  auto it = std::find_if(handles.begin(), handles.end(),
                         [handle](const HandleEntry& e) { return e.handle == handle; });
  if (it == handles.end()) return;
  it->segment->removeHandle(handle);
  handles.erase(it);
}

Segment* Figure::segmentOf(const Handle* handle) const {
  for (const HandleEntry& e : handles) {
    if (e.handle == handle) return e.segment;
  }
  return nullptr;
}

void Figure::updateHandlePositions() { updateHandlePositions(root.get(), Mat4()); }

void Figure::updateHandlePositions(Segment* s, const Mat4& parentWorld) {
  const Mat4 W = frame(parentWorld, *s);
  for (Handle* h : s->handles) h->worldPos = transformPoint(W, h->localPos);
  for (int i = 0; i < s->childCount(); ++i) updateHandlePositions(s->child(i), W);
}

std::vector<Segment*> Figure::segments() const {
  std::vector<Segment*> all;
  std::function<void(Segment*)> visit = [&](Segment* s) {
    all.push_back(s);
    for (int i = 0; i < s->childCount(); ++i) visit(s->child(i));
  };
  visit(root.get());
  return all;
}

Segment* Figure::findSegment(const char* name) const {
  for (Segment* s : segments()) {
    if (std::strcmp(s->name, name) == 0) return s;
  }
  return nullptr;
}
