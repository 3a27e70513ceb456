#include "view/TitleMessage.h"

#include <utility>

void TitleMessage::say(std::string words, double now) {
  if (!held.empty()) words = words.empty() ? std::move(held) : words + "; " + held;
  held.clear();
  text = std::move(words);
  until = now + kSeconds;
}

std::string TitleMessage::words(double now) const { return secondsLeft(now) > 0.0 ? text : std::string(); }

double TitleMessage::secondsLeft(double now) const { return text.empty() || now >= until ? 0.0 : until - now; }
