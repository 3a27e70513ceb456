#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text from outside as a title, a dialog or a printed line shows it, with no
// byte that a terminal or a window would act on.

// A file's name or path: control characters and bytes that are not UTF-8
// are written as \xNN, so that nothing reaches a terminal or a window as a
// command or as broken text, and a name longer than kShownLength characters
// is cut in the middle.
constexpr std::size_t kShownLength = 80;
std::string shownName(std::string_view name);

// A token a message quotes: its first kQuotedLength bytes, printable ASCII
// as it is and any other byte as \xNN, between double quotes.
constexpr std::size_t kQuotedLength = 40;
std::string quotedToken(std::string_view token);

// A token a file keeps whole, whatever bytes it has: between double quotes,
// printable ASCII but the blank, '"' and '\' as it is, any other byte as
// \xNN. Never cut.
std::string quotedWhole(std::string_view token);
// The bytes such a token stands for; false when it is not one.
bool unquotedWhole(std::string_view token, std::string& bytes);
