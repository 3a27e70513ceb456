#include "pose/ShownText.h"

#include <algorithm>
#include <vector>

namespace {

// The length of the UTF-8 sequence that starts text, or 0 when it is not one
// (overlong forms, surrogates and code points past U+10FFFF are not).
std::size_t sequenceLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                     : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (length == 0 || length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
  }
  const unsigned char second = length > 1 ? byte(1) : 0;
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
      (lead == 0xF4 && second > 0x8F)) {
    return 0;
  }
  return length;
}

// C0 and C1 controls and DEL: a terminal acts on them.
bool isControl(std::string_view character) {
  const unsigned char lead = static_cast<unsigned char>(character[0]);
  if (character.size() == 1) return lead < 0x20 || lead == 0x7F;
  return lead == 0xC2 && static_cast<unsigned char>(character[1]) < 0xA0;
}

std::string escaped(unsigned char byte) {
  static const char hex[] = "0123456789abcdef";
  return {'\\', 'x', hex[byte >> 4], hex[byte & 15]};
}

}  // namespace

std::string shownName(std::string_view name) {
  // One entry per character or escaped byte, so that a cut splits neither.
  std::vector<std::string> shown;
  while (!name.empty()) {
    const std::size_t length = sequenceLength(name);
    if (length > 0 && !isControl(name.substr(0, length))) {
      shown.emplace_back(name.substr(0, length));
      name.remove_prefix(length);
      continue;
    }
    for (std::size_t i = 0; i < (length > 0 ? length : 1); ++i) shown.push_back(escaped(name[i]));
    name.remove_prefix(length > 0 ? length : 1);
  }
  std::string out;
  const std::size_t head = kShownLength / 2, tail = kShownLength - head - 1;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (shown.size() > kShownLength && i == head) {
      out += "\u2026";
      i = shown.size() - tail - 1;
      continue;
    }
    out += shown[i];
  }
  return out;
}

std::string quotedToken(std::string_view token) {
  std::string out = "\"";
  const std::size_t shown = std::min<std::size_t>(token.size(), kQuotedLength);
  for (std::size_t i = 0; i < shown; ++i) {
    const unsigned char c = token[i];
    out += c >= 0x20 && c < 0x7f && c != '"' && c != '\\' ? std::string(1, static_cast<char>(c)) : escaped(c);
  }
  return out + (token.size() > shown ? "...\"" : "\"");
}

std::string quotedWhole(std::string_view token) {
  std::string out = "\"";
  for (const char byte : token) {
    const unsigned char c = static_cast<unsigned char>(byte);
    out += c > 0x20 && c < 0x7f && c != '"' && c != '\\' ? std::string(1, byte) : escaped(c);
  }
  return out + "\"";
}

bool unquotedWhole(std::string_view token, std::string& bytes) {
  if (token.size() < 2 || token.front() != '"' || token.back() != '"') return false;
  token = token.substr(1, token.size() - 2);
  const auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
  };
  std::string out;
  for (std::size_t i = 0; i < token.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(token[i]);
    if (c == '\\') {
      if (i + 3 >= token.size() || token[i + 1] != 'x' || digit(token[i + 2]) < 0 || digit(token[i + 3]) < 0)
        return false;
      out += static_cast<char>(digit(token[i + 2]) * 16 + digit(token[i + 3]));
      i += 3;
    } else if (c > 0x20 && c < 0x7f && c != '"') {
      out += static_cast<char>(c);
    } else {
      return false;
    }
  }
  bytes = std::move(out);
  return true;
}
