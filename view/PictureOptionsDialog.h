#pragma once

#include <optional>

#include "view/PictureOptions.h"

// Asks for a picture's size and background in a small window of the
// program's own, starting from options; false when the person cancels.
// The sizes offered are those of a view of viewWidth x viewHeight.
bool askPictureOptions(PictureOptions& options, int viewWidth, int viewHeight);
// The width typed in the window: a whole number from 1 to kMaxSide, or none.
std::optional<int> typedWidth(const char* text);
