#include "view/StepKeys.h"

#include <FL/Fl.H>

#include "view/OperatorTable.h"

bool StepKeys::take(int event, std::initializer_list<Answer> asked, std::optional<Answer>& step) {
  step.reset();
  const bool keyPress = event == FL_KEYBOARD || event == FL_SHORTCUT;
  // A release may go to another window: any other event may tell it went up.
  if (event == FL_KEYUP) {
    presses.released(Fl::event_key());
  } else if (!keyPress || Fl::event_key() != presses.heldKey()) {
    presses.forgetIfUp();
  }
  if (!keyPress || (Fl::event_state() & (FL_CTRL | FL_ALT | FL_META | FL_BUTTONS))) return false;
  const std::optional<Answer> answer = operators::answerAmong(Fl::event_key(), asked);
  if (!answer) return false;
  if (presses.fresh(Fl::event_key())) step = answer;
  return true;
}
