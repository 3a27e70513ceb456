#include "view/CommandTable.h"

#include <FL/Fl.H>

namespace {

enum class Mods { Any, Ctrl, CtrlShift };

struct CommandKey {
  int key;
  Mods mods;
  Command command;
};

// Ctrl means Ctrl without Alt or Meta, with or without Shift; where Shift
// chooses another command, that one comes later and wins.
constexpr CommandKey kTable[] = {
    {FL_F + 1, Mods::Any, Command::ShowHelp},    {FL_Escape, Mods::Any, Command::HideHelp},
    {FL_Home, Mods::Any, Command::Home},         {'q', Mods::Ctrl, Command::Quit},
    {'o', Mods::Ctrl, Command::Open},            {'s', Mods::Ctrl, Command::Save},
    {'s', Mods::CtrlShift, Command::SaveAs},     {'e', Mods::Ctrl, Command::ExportPicture},
    {'z', Mods::Ctrl, Command::Undo},            {'z', Mods::CtrlShift, Command::Redo},
    {'y', Mods::Ctrl, Command::Redo},            {'r', Mods::Ctrl, Command::Reset},
    {'c', Mods::Ctrl, Command::Copy},            {'v', Mods::Ctrl, Command::Paste},
    {'v', Mods::CtrlShift, Command::PasteMirrored},
};

bool matches(Mods mods, int state) {
  const bool ctrl = (state & FL_CTRL) && !(state & (FL_ALT | FL_META));
  const bool shift = state & FL_SHIFT;
  switch (mods) {
    case Mods::Any:
      return true;
    case Mods::Ctrl:
      return ctrl;
    case Mods::CtrlShift:
      return ctrl && shift;
  }
  return false;
}

}  // namespace

Command commandFor(int key, int state) {
  Command found = Command::None;
  for (const CommandKey& k : kTable) {
    if (k.key == key && matches(k.mods, state)) found = k.command;
  }
  return found;
}
