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
  Undo,
  Redo,
  Reset,
  Copy,
  Paste,
  PasteMirrored,
};

// The command of a key pressed with the toolkit's modifier state.
Command commandFor(int key, int state);
