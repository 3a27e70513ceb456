#pragma once

// What every fuzzer of this build shares; each is one file, so the
// definition below is made once per program.
#include <cstdlib>

#include "figure/Figure.h"

// Nothing here solves, so the solver's pass is never made; its deleter lives
// with the solver's code, which this build leaves out.
void Figure::PassDeleter::operator()(GradientPass*) const {}

// A failed check ends the run, as libFuzzer expects of a finding.
inline void check(bool ok) {
  if (!ok) std::abort();
}
