#pragma once

#include <cstddef>
#include <string>

// The text chunks libpng writes: tEXt, zTXt, and iTXt plain or compressed.
enum class TextChunk { Plain, Compressed, International, InternationalCompressed };

// A 1x1 grey PNG file as libpng writes it, with a text chunk under the
// keyword before the image data or after it, and before the text a private
// chunk of fillerBytes when there are any.
std::string pictureWithText(const std::string& text, const std::string& keyword = "mannequin pose",
                            bool afterImage = false, std::size_t fillerBytes = 0,
                            TextChunk kind = TextChunk::Plain);
