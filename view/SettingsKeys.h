#pragma once

class PoseDocument;

// The keys that set the solver, read as the toolkit leaves its last key at
// every event: the table's settings. A key pressed with Ctrl or Alt is a
// command, never a setting.
class SettingsKeys {
 public:
  // Takes the event's key into the document's settings.
  void take(int event, int key, int state, PoseDocument& document);

 private:
  int blockedKey = 0;  // pressed with Ctrl or Alt: a command, kept from the settings
  int reachedKey = 0;  // the last key the settings took
};
