#include "document/RecoveryText.h"

#include <charconv>

namespace recovery_text {

namespace {

constexpr std::string_view kHeader = "# mannequin recovery copy of: ";
constexpr std::string_view kIdentity = "# the file as last opened or saved: ";

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) out += {digits[c >> 4], digits[c & 15]};
  return out;
}

// False when the text is not pairs of hex digits.
bool unhex(std::string_view text, std::string& out) {
  const auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
  if (text.size() % 2) return false;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = digit(text[i]), low = digit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    out += static_cast<char>(high * 16 + low);
  }
  return true;
}

// The text's first line, taken off it; false when there is no line end.
bool takeLine(std::string_view& text, std::string_view& line) {
  const std::size_t end = text.find('\n');
  if (end == std::string_view::npos) return false;
  line = text.substr(0, end);
  text.remove_prefix(end + 1);
  return true;
}

// One number and the blank before it, taken off the text.
template <class T>
bool takeNumber(std::string_view& text, T& value) {
  if (text.empty() || text[0] != ' ') return false;
  const auto [end, error] = std::from_chars(text.data() + 1, text.data() + text.size(), value);
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return error == std::errc();
}

std::string identityLine(const pose_file::Identity& id) {
  std::string line(kIdentity.substr(0, kIdentity.size() - 1));
  for (long long n : {static_cast<long long>(id.dev), static_cast<long long>(id.ino), static_cast<long long>(id.size),
                      static_cast<long long>(id.mtime.tv_sec), static_cast<long long>(id.mtime.tv_nsec),
                      static_cast<long long>(id.ctime.tv_sec), static_cast<long long>(id.ctime.tv_nsec)})
    line += " " + std::to_string(n);
  return line + "\n";
}

pose_file::Identity identityFrom(std::string_view line) {
  pose_file::Identity id;
  line.remove_prefix(kIdentity.size() - 1);
  long long n[7];
  for (long long& value : n)
    if (!takeNumber(line, value)) return {};
  if (!line.empty()) return {};
  id.dev = static_cast<dev_t>(n[0]);
  id.ino = static_cast<ino_t>(n[1]);
  id.size = static_cast<off_t>(n[2]);
  id.mtime = {static_cast<time_t>(n[3]), static_cast<long>(n[4])};
  id.ctime = {static_cast<time_t>(n[5]), static_cast<long>(n[6])};
  return id;
}

}  // namespace

std::string write(const std::string& path, const std::optional<pose_file::Identity>& identity,
                  std::string_view pose) {
  std::string text = std::string(kHeader) + hex(path) + "\n";
  if (identity) text += identityLine(*identity);
  return text.append(pose);
}

Copy read(std::string_view text) {
  Copy copy;
  std::string_view line;
  if (!takeLine(text, line) || line.substr(0, kHeader.size()) != kHeader)
    copy.error = "it does not begin as a recovery copy does";
  else if (!unhex(line.substr(kHeader.size()), copy.path))
    copy.error = "the name of its file is garbled";
  if (!copy.error.empty()) return copy;
  std::string_view rest = text;
  if (takeLine(rest, line) && line.substr(0, kIdentity.size()) == kIdentity) {
    copy.identity = identityFrom(line);
    text = rest;
  }
  copy.pose = std::string(text);
  return copy;
}

}  // namespace recovery_text
