#pragma once

#include <cstddef>
#include <string>

// A 1x1 grey PNG file as libpng writes it, with a tEXt chunk under the
// keyword before the image data or after it, and before the text a private
// chunk of fillerBytes when there are any.
std::string pictureWithText(const std::string& text, const std::string& keyword = "mannequin pose",
                            bool afterImage = false, std::size_t fillerBytes = 0);
