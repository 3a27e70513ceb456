#include "view/TitleReport.h"

#include <FL/Fl.H>

#include <chrono>
#include <iostream>

namespace {

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

TitleReport::~TitleReport() { Fl::remove_timeout(wake, this); }

void TitleReport::report(const Outcome& outcome) {
  if (outcome.refused) std::cout << outcome.words << std::endl;
  say(outcome.words);
}

void TitleReport::say(const std::string& words) {
  message.say(words, now());
  Fl::remove_timeout(wake, this);
  if (!words.empty()) Fl::add_timeout(TitleMessage::kSeconds, wake, this);
}

std::string TitleReport::words() const { return message.words(now()); }

void TitleReport::wake(void* self) {
  auto* report = static_cast<TitleReport*>(self);
  // A timer that fires early waits for the rest.
  if (const double left = report->message.secondsLeft(now()); left > 0.0) Fl::add_timeout(left, wake, self);
}
