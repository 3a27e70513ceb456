#pragma once

#include <string>

#include "document/Outcome.h"
#include "view/TitleMessage.h"

// What came of a person's last action, in the main window's title for a
// few seconds. When the words go stale the event loop is woken, so that
// the title, read after every event and timer, changes back.
class TitleReport {
 public:
  TitleReport() = default;
  TitleReport(const TitleReport&) = delete;
  TitleReport& operator=(const TitleReport&) = delete;
  ~TitleReport();
  // A refusal is printed on standard output too.
  void report(const Outcome& outcome);
  void say(const std::string& words);
  // Printed now, and said with the words of the gesture under way, which
  // would otherwise hide it, or alone once the toolkit is idle.
  void warn(const Outcome& outcome);
  // The words while they are fresh, else nothing.
  std::string words() const;

 private:
  static void wake(void* self);
  static void sayHeld(void* self);
  TitleMessage message;
};
