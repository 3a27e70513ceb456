#include "view/KeyPresses.h"

#include <FL/Fl.H>
#include <FL/x.H>

namespace {

// When the toolkit's current event happened, in milliseconds; 0 when the
// platform does not say (and for events sent by another program).
unsigned long eventTime() { return fl_event_time; }

}  // namespace

bool KeyPresses::fresh(int key) {
  if (key == held) return false;
  const unsigned long now = eventTime();
  const bool pairedWithRelease = key == lastReleased && now != 0 && now == releasedAt;
  held = key;
  return !pairedWithRelease;
}

void KeyPresses::released(int key) {
  if (key != held) return;
  held = 0;
  lastReleased = key;
  releasedAt = eventTime();
}

void KeyPresses::forgetIfUp() {
  if (held && !Fl::get_key(held)) held = 0;
}
