#pragma once

// Every command a key runs. Each acts once per key press, and never while a
// mouse button is held.
enum class Command {
  None,
  ShowHelp,
  HideHelp,
  Home,
  Quit,
  Open,
  Save,
  SaveAs,
  ExportPicture,
  ExportPictureAs,
  Undo,
  Redo,
  Reset,
  Copy,
  Paste,
  PasteMirrored,
  // The camera only: no step, no setting.
  ViewFront,
  ViewBack,
  ViewRight,
  ViewLeft,
  ViewTop,
  ViewBottom,
  FitFigure,
};

// The command of a key pressed with the toolkit's modifier state; key is the
// toolkit's key code, or FL_KP + digit for a keypad digit (see commandKey).
Command commandFor(int key, int state);
// What names a key for the commands: a keypad digit by the key itself,
// whatever NumLock makes of it (keypad 7 is Home with NumLock off).
int commandKey(int key, int originalKey);
