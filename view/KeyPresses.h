#pragma once

// Tells a key's new press from the toolkit's repeats of a held key, so that
// a command acts once per press. A held key repeats as presses alone, or as
// releases each followed by a press at the same moment.
class KeyPresses {
 public:
  // True when this press of key is a new one.
  bool fresh(int key);
  void released(int key);
  // For when releases may have gone elsewhere (another window had the
  // keyboard): forgets the held key if the keyboard says it is up.
  void forgetIfUp();
  // The key taken as held down; 0 for none.
  int heldKey() const { return held; }

 private:
  int held = 0;
  int lastReleased = 0;
  unsigned long releasedAt = 0;
};
