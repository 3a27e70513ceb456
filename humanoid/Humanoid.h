#pragma once

#include <memory>

#include "figure/Figure.h"

// The built-in human figure: 21 segments, 51 DOFs, in its initial pose.
// World frame: y up, the figure's left is +z, it faces -x.
std::unique_ptr<Figure> buildHumanoid();
