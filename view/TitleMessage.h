#pragma once

#include <string>
#include <utility>

// What the title says about a person's last action, instead of the settings,
// for a few seconds. Times are in seconds on any steady clock.
class TitleMessage {
 public:
  static constexpr double kSeconds = 5.0;

  // Says words from now on, for kSeconds; empty words say nothing.
  void say(std::string words, double now);
  // Words that the next words said must not hide: said after them.
  void hold(std::string words) { held = std::move(words); }
  bool holding() const { return !held.empty(); }
  // The words while they are fresh at now, else nothing.
  std::string words(double now) const;
  // How long the words still have at now; 0 once they are stale.
  double secondsLeft(double now) const;

 private:
  std::string text;
  std::string held;
  double until = 0.0;
};
