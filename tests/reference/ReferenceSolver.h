#pragma once

#include <list>
#include <memory>
#include <vector>

#include "HandleJacobian.h"
#include "figure/Figure.h"
#include "ik/Solver.h"

// The drag solver written as plainly as it can be: a world chain rebuilt and
// cloned per segment, a full array of derivative matrices copied per child and
// per handle, records kept in a list. The program's solver must produce the
// same numbers, bit for bit.
namespace reference {

// Inserts one record per handle of the subtree of s at the front of records;
// takes and releases chain and D. Returns the subtree's DOF count.
int buildJacobians(Figure& f, std::list<HandleJacobian>& records, Segment* s,
                   std::unique_ptr<TransformChain> chain, std::vector<Mat4> D, int firstDof);

// Adds the weighted Jacobian-transpose product of every record to g.
void accumulateGradient(const Figure& f, const std::list<HandleJacobian>& records, const Handle* dragged,
                        float* g);

// Records of the current pose, after updating the handles' positions.
std::list<HandleJacobian> records(Figure& f);

// Positions, records and accumulation, as one iteration of the solver makes them.
std::vector<float> gradient(Figure& f, const Handle* dragged);

SolveResult solve(Figure& f, const Handle* dragged);

}  // namespace reference
