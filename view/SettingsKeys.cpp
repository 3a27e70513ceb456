#include "view/SettingsKeys.h"

#include <FL/Fl.H>

#include "document/PoseDocument.h"
#include "view/OperatorTable.h"

// The key the settings take: the toolkit's last key, unless it was pressed
// with Ctrl or Alt; then the last key the settings took.
void SettingsKeys::take(int event, int key, int state, PoseDocument& document) {
  if (event == FL_KEYBOARD || event == FL_SHORTCUT) blockedKey = (state & (FL_CTRL | FL_ALT)) ? key : 0;
  // The wheel's notches come as buttons 4 to 7: no key of the settings'.
  const bool wheel = key >= FL_Button + 4 && key <= FL_Button + 7;
  if (key != blockedKey && !wheel) reachedKey = key;
  if (const std::optional<SolverSetting> setting = operators::settingFor(reachedKey)) document.apply(*setting);
}
