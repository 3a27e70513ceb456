#include "view/SettingsKeys.h"

#include <FL/Fl.H>

#include "figure/Figure.h"

// The key the settings take: the toolkit's last key, unless it was pressed
// with Ctrl or Alt; then the last key the settings took.
void SettingsKeys::take(int event, int key, int state, Figure& figure) {
  if (event == FL_KEYBOARD || event == FL_SHORTCUT) blockedKey = (state & (FL_CTRL | FL_ALT)) ? key : 0;
  if (key != blockedKey) reachedKey = key;
  apply(reachedKey, figure);
}

void SettingsKeys::apply(int key, Figure& figure) {
  switch (key) {
    case 's':
      figure.setLimbWeights();
      break;
    case 'd':
      figure.setUniformWeights();
      break;
    case '1':
      figure.tolerance = 0.01;
      break;
    case '2':
      figure.tolerance = 0.001;
      break;
    case '3':
      figure.tolerance = 0.0001;
      break;
    case 'n':
      figure.limitsEnabled = true;
      break;
    case 'm':
      figure.limitsEnabled = false;
      break;
    default:
      break;
  }
}
