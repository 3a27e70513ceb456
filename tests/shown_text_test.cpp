// Names as the program shows them: one line, valid UTF-8, at most 80
// characters.
#include <gtest/gtest.h>

#include <string>

#include "pose/ShownText.h"

TEST(ShownName, EscapesWhatATerminalOrATitleCannotShow) {
  EXPECT_EQ(shownName("pose \xC3\xA9t\xC3\xA9.pose"), "pose \xC3\xA9t\xC3\xA9.pose");
  EXPECT_EQ(shownName("a\nb\x7F.pose"), "a\\x0ab\\x7f.pose");
  EXPECT_EQ(shownName("\x1B[31mred"), "\\x1b[31mred");
  // C1 controls, a lone continuation, a cut sequence, overlong and surrogate forms.
  EXPECT_EQ(shownName("\xC2\x9B|\x80|\xE2\x82|\xC0\xAF|\xED\xA0\x80"),
            "\\xc2\\x9b|\\x80|\\xe2\\x82|\\xc0\\xaf|\\xed\\xa0\\x80");
  EXPECT_EQ(shownName("\xF4\x8F\xBF\xBF"), "\xF4\x8F\xBF\xBF");
  EXPECT_EQ(shownName("\xF4\x90\x80\x80"), "\\xf4\\x90\\x80\\x80");
}

TEST(ShownName, IsCutInTheMiddleBeyondEightyCharacters) {
  const std::string eighty = std::string(40, 'a') + std::string(40, 'z');
  EXPECT_EQ(shownName(eighty), eighty);
  EXPECT_EQ(shownName(std::string(40, 'a') + "m" + std::string(40, 'z')),
            std::string(40, 'a') + "\u2026" + std::string(39, 'z'));
  // Counted in characters, not bytes; a 100 kB name gives 80 of them.
  const std::string shown = shownName(std::string(100000, 'x') + "\xC3\xA9");
  EXPECT_EQ(shown, std::string(40, 'x') + "\u2026" + std::string(38, 'x') + "\xC3\xA9");
}

// A token is quoted whole up to 40 bytes, and cut there beyond.
TEST(QuotedToken, KeepsFortyBytesAndMarksTheCut) {
  EXPECT_EQ(quotedToken(std::string(40, 'a')), "\"" + std::string(40, 'a') + "\"");
  EXPECT_EQ(quotedToken(std::string(41, 'a')), "\"" + std::string(40, 'a') + "...\"");
}
