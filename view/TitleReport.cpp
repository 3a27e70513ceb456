#include "view/TitleReport.h"

#include <FL/Fl.H>

#include <chrono>
#include <iostream>

namespace {

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

TitleReport::~TitleReport() {
  Fl::remove_timeout(wake, this);
  Fl::remove_timeout(sayHeld, this);
}

void TitleReport::report(const Outcome& outcome) {
  if (outcome.refused) std::cout << outcome.words << std::endl;
  say(outcome.words);
}

void TitleReport::say(const std::string& words) {
  const double at = now();
  message.say(words, at);
  Fl::remove_timeout(wake, this);
  if (message.secondsLeft(at) > 0.0) Fl::add_timeout(TitleMessage::kSeconds, wake, this);
}

void TitleReport::warn(const Outcome& outcome) {
  if (outcome.refused) std::cout << outcome.words << std::endl;
  message.hold(outcome.words);
  Fl::add_timeout(0.0, sayHeld, this);
}

void TitleReport::sayHeld(void* self) {
  auto* report = static_cast<TitleReport*>(self);
  if (report->message.holding()) report->say("");
}

std::string TitleReport::words() const { return message.words(now()); }

void TitleReport::wake(void* self) {
  auto* report = static_cast<TitleReport*>(self);
  // A timer that fires early waits for the rest.
  if (const double left = report->message.secondsLeft(now()); left > 0.0) Fl::add_timeout(left, wake, self);
}
