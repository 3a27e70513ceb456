#pragma once

#include <string>

#include "view/Picture.h"

// The picture as a PNG file's bytes, by libpng, with the pose's text in a
// tEXt chunk before the image data, so that the picture opens as its pose;
// empty when it could not be encoded.
std::string encodePng(const Picture& picture, const std::string& poseText);
