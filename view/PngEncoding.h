#pragma once

#include <string>
#include <vector>

// An 8-bit RGB picture, rows from the bottom up as GL reads them, encoded as
// a PNG file's bytes by libpng; empty when it could not be encoded.
std::string encodePng(int width, int height, const std::vector<unsigned char>& rgbBottomUp);
