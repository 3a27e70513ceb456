#pragma once

#include <initializer_list>
#include <optional>
#include <string>

#include "document/SolverSetting.h"
#include "view/Command.h"

// The one table of what every key, mouse button and question's answer does,
// and what the help window says of it. A command acts once per press; a
// setting is taken again from the toolkit's last key at every event.
namespace operators {

// The modifiers a row asks for. Ctrl is Ctrl without Alt or Meta, with or
// without Shift; Plain is none of Ctrl, Alt and Meta, and Shift is Plain
// with Shift. Shifted and Unshifted look at Shift alone.
enum class Mods { Any, Plain, Shift, Ctrl, CtrlShift, Shifted, Unshifted };

enum class Kind { Command, Setting, Gesture, Answer };

struct Binding {
  int key = 0;  // the toolkit's key code; FL_KP + digit for a keypad digit; 0 ends a row's list
  Mods mods = Mods::Any;
  Kind kind = Kind::Command;
  Command command = Command::None;
  SolverSetting setting = SolverSetting::Tolerance2;
  Gesture gesture = Gesture::None;
  Answer answer = Answer::Save;
  const char* label = nullptr;  // an answer's button, with & before its key
};

// A row of the help window with the bindings it describes; rows without
// words are bindings the help does not list.
struct Row {
  const char* input;
  const char* effect;
  Binding bindings[4];
};

// Every row, in the order the help window, the README and the manual page
// list them.
const Row* begin();
const Row* end();

// What a key pressed with the toolkit's modifier state runs; where Shift
// chooses another command, the later row wins.
Command commandFor(int key, int state);
// The setting a key sets, if it sets one.
std::optional<SolverSetting> settingFor(int key);
// What a mouse button (FL_LEFT_MOUSE...) starts with this modifier state.
Gesture gestureFor(int button, int state);
// The label of an answer's button, with its key marked.
const char* labelOf(Answer answer);
// The answer a key gives in a window of the program's own that asks one.
std::optional<Answer> answerFor(int key);
// The answer a key gives among those a window asks (the same key may answer
// otherwise in another window).
std::optional<Answer> answerAmong(int key, std::initializer_list<Answer> asked);
// What names a key for the commands: a keypad digit by the key itself,
// whatever NumLock makes of it (keypad 7 is Home with NumLock off).
int commandKey(int key, int originalKey);

}  // namespace operators
