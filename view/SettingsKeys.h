#pragma once

class Figure;

// The keys that set the solver, read as the toolkit leaves its last key at
// every event: 1, 2, 3 (tolerance), n, m (limits), s, d (weights). A key
// pressed with Ctrl or Alt is a command, never a setting.
class SettingsKeys {
 public:
  // Takes the event's key into the figure's settings.
  void take(int event, int key, int state, Figure& figure);

 private:
  static void apply(int key, Figure& figure);

  int blockedKey = 0;  // pressed with Ctrl or Alt: a command, kept from the settings
  int reachedKey = 0;  // the last key the settings took
};
