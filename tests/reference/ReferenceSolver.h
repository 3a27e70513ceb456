#pragma once

#include <vector>

#include "figure/Figure.h"
#include "ik/Solver.h"

// The drag solver written as plainly as it can be: a world chain rebuilt and
// cloned per segment, a full array of derivative matrices copied per child and
// per handle, records kept in a list. The program's solver must produce the
// same numbers, bit for bit.
namespace reference {

// Positions, records and accumulation, as one iteration of the solver makes them.
std::vector<float> gradient(Figure& f, const Handle* dragged);

SolveResult solve(Figure& f, const Handle* dragged);

}  // namespace reference
