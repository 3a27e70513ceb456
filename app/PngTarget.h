#pragma once

#include <string>

// Why --png may not write its picture under the name typed: the name as
// typed, or with ".png" added, is already something other than a regular
// file (a folder, a FIFO, a device). Empty when it may. Judged before
// anything is drawn, so that nothing is written beside such a name either.
std::string pngTargetRefusal(const std::string& typed);
