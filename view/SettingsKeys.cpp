#include "view/SettingsKeys.h"

#include <FL/Fl.H>

#include "document/PoseDocument.h"
#include "view/OperatorTable.h"

// The key the settings take: the toolkit's last key, unless it was pressed
// with Ctrl or Alt; then the last key the settings took.
void SettingsKeys::take(int event, int key, int state, PoseDocument& document) {
  if (event == FL_KEYBOARD || event == FL_SHORTCUT) blockedKey = (state & (FL_CTRL | FL_ALT)) ? key : 0;
  if (key != blockedKey) reachedKey = key;
  if (const std::optional<SolverSetting> setting = operators::settingFor(reachedKey)) document.apply(*setting);
}
