#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "figure/Figure.h"
#include "figure/Handle.h"

// Everything a gesture can change in a figure, held by value: the joints'
// exact state and the handles. The solver's settings, the weights and the
// tree are not part of it.
struct FigureState {
  // One of the figure's handle entries: its segment and its record.
  struct Pin {
    Segment* segment;
    int record;  // index into records; entries that share a record share it
  };

  std::vector<double> joints;   // every joint's saved state, in pre-order
  std::vector<Handle> records;  // the distinct handle records, first use first
  std::vector<Pin> pins;        // the figure's handle list, in order

  // Heap and object bytes that this state holds.
  std::size_t bytes() const;
};

// Bit for bit: a state saved twice from an unchanged figure compares equal.
bool operator==(const FigureState& a, const FigureState& b);
inline bool operator!=(const FigureState& a, const FigureState& b) { return !(a == b); }

FigureState saveState(const Figure& figure);

// Puts the figure back exactly as it was saved: the joints (not set again
// but restored, so that nothing is clamped or normalised twice) and the
// handles with their local points, world positions and targets. The figure's
// old handle entries are removed; the new records are returned to the
// caller, who owns them from now on.
std::vector<std::unique_ptr<Handle>> restoreState(Figure& figure, const FigureState& state);
