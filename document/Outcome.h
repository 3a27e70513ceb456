#pragma once

#include <string>
#include <utility>

// What came of an editing verb: the words the title shows for a while, and
// whether they are a refusal, which is also printed as one line. Empty words
// say nothing.
struct Outcome {
  std::string words;
  bool refused = false;

  static Outcome said(std::string words) { return {std::move(words), false}; }
  static Outcome refusal(std::string line) { return {std::move(line), true}; }
};
