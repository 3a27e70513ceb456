#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A file's name or path as a title, a dialog or a printed line may show it:
// control characters and bytes that are not UTF-8 are written as \xNN, so
// that nothing reaches a terminal or a window as a command or as broken
// text, and a name longer than kShownLength characters is cut in the middle.
constexpr std::size_t kShownLength = 80;
std::string shownName(std::string_view name);
