#include "pose/FigureState.h"

#include <algorithm>
#include <cstring>

namespace {

template <typename T>
bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

// The index of record in seen, appended when new.
int recordIndex(std::vector<const Handle*>& seen, const Handle* record) {
  const auto it = std::find(seen.begin(), seen.end(), record);
  if (it != seen.end()) return static_cast<int>(it - seen.begin());
  seen.push_back(record);
  return static_cast<int>(seen.size()) - 1;
}

}  // namespace

std::size_t FigureState::bytes() const {
  return sizeof(FigureState) + joints.capacity() * sizeof(double) + records.capacity() * sizeof(Handle) +
         pins.capacity() * sizeof(Pin);
}

bool operator==(const FigureState& a, const FigureState& b) {
  if (!sameBits(a.joints, b.joints) || !sameBits(a.records, b.records)) return false;
  return std::equal(a.pins.begin(), a.pins.end(), b.pins.begin(), b.pins.end(),
                    [](const FigureState::Pin& p, const FigureState::Pin& q) {
                      return p.segment == q.segment && p.record == q.record;
                    });
}

FigureState saveState(const Figure& figure) {
  FigureState state;
  for (const Segment* s : figure.segments()) {
    const std::size_t own = state.joints.size();
    s->joint->saveState(state.joints);
    // A segment's own limits switch is the figure's setting, copied into it
    // at every change of its joint: no part of the pose.
    state.joints[own] = 0.0;
  }
  state.joints.shrink_to_fit();  // a history keeps many of these
  std::vector<const Handle*> seen;
  state.pins.reserve(figure.handles.size());
  for (const HandleEntry& e : figure.handles) state.pins.push_back({e.segment, recordIndex(seen, e.handle)});
  state.records.reserve(seen.size());
  for (const Handle* h : seen) state.records.push_back(*h);
  return state;
}

std::vector<std::unique_ptr<Handle>> restoreState(Figure& figure, const FigureState& state) {
  const double* in = state.joints.data();
  for (Segment* s : figure.segments()) in = s->joint->restoreState(in);

  while (!figure.handles.empty()) figure.removeHandle(figure.handles.front().handle);
  std::vector<std::unique_ptr<Handle>> records;
  records.reserve(state.records.size());
  for (const Handle& h : state.records) records.push_back(std::make_unique<Handle>(h));
  // Added in the saved order, the segments' own lists come back in theirs.
  for (const FigureState::Pin& p : state.pins) figure.addHandle(records[p.record].get(), p.segment);
  return records;
}
