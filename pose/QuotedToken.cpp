#include "pose/QuotedToken.h"

#include <algorithm>

std::string quotedToken(std::string_view token) {
  std::string out = "\"";
  const size_t shown = std::min<size_t>(token.size(), 40);
  for (size_t i = 0; i < shown; ++i) {
    const unsigned char c = token[i];
    if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      static const char hex[] = "0123456789abcdef";
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out + (token.size() > shown ? "...\"" : "\"");
}
