#pragma once

#include <initializer_list>
#include <optional>

#include "view/Command.h"
#include "view/KeyPresses.h"

// The keys that step through what a window of the program's own shows (the
// library's arrows, the frame chooser's Home and End): each acts once per
// press, never with Ctrl or Alt, nor while a mouse button holds a widget.
class StepKeys {
 public:
  // Whether the event is a press of one of the asked keys, which the window
  // then takes; `step` is what it asks for, none for a held key's repeat.
  bool take(int event, std::initializer_list<Answer> asked, std::optional<Answer>& step);

 private:
  KeyPresses presses;
};
