#include "view/CommandTable.h"

#include <FL/Fl.H>

namespace {

enum class Mods { Any, Plain, Shift, Ctrl, CtrlShift };

struct CommandKey {
  int key;
  Mods mods;
  Command command;
};

// Ctrl means Ctrl without Alt or Meta, with or without Shift; Plain means
// none of Ctrl, Alt and Meta, and Shift means Plain with Shift. Where Shift
// chooses another command, that one comes later and wins.
constexpr CommandKey kTable[] = {
    {FL_F + 1, Mods::Any, Command::ShowHelp},    {FL_Escape, Mods::Any, Command::HideHelp},
    {FL_Home, Mods::Any, Command::Home},         {'q', Mods::Ctrl, Command::Quit},
    {'o', Mods::Ctrl, Command::Open},            {'s', Mods::Ctrl, Command::Save},
    {'s', Mods::CtrlShift, Command::SaveAs},     {'e', Mods::Ctrl, Command::ExportPicture},
    {'z', Mods::Ctrl, Command::Undo},            {'z', Mods::CtrlShift, Command::Redo},
    {'y', Mods::Ctrl, Command::Redo},            {'r', Mods::Ctrl, Command::Reset},
    {'c', Mods::Ctrl, Command::Copy},            {'v', Mods::Ctrl, Command::Paste},
    {'v', Mods::CtrlShift, Command::PasteMirrored}, {'e', Mods::CtrlShift, Command::ExportPictureAs},
    {FL_KP + '1', Mods::Plain, Command::ViewFront},  {FL_KP + '1', Mods::Ctrl, Command::ViewBack},
    {FL_KP + '3', Mods::Plain, Command::ViewRight},  {FL_KP + '3', Mods::Ctrl, Command::ViewLeft},
    {FL_KP + '7', Mods::Plain, Command::ViewTop},    {FL_KP + '7', Mods::Ctrl, Command::ViewBottom},
    {FL_F + 5, Mods::Plain, Command::ViewFront},     {FL_F + 5, Mods::Shift, Command::ViewBack},
    {FL_F + 6, Mods::Plain, Command::ViewRight},     {FL_F + 6, Mods::Shift, Command::ViewLeft},
    {FL_F + 7, Mods::Plain, Command::ViewTop},       {FL_F + 7, Mods::Shift, Command::ViewBottom},
    {'f', Mods::Plain, Command::FitFigure},
};

bool matches(Mods mods, int state) {
  const bool ctrl = (state & FL_CTRL) && !(state & (FL_ALT | FL_META));
  const bool shift = state & FL_SHIFT;
  const bool plain = !(state & (FL_CTRL | FL_ALT | FL_META));
  switch (mods) {
    case Mods::Any:
      return true;
    case Mods::Plain:
      return plain;
    case Mods::Shift:
      return plain && shift;
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

int commandKey(int key, int originalKey) {
  return originalKey >= FL_KP + '0' && originalKey <= FL_KP + '9' ? originalKey : key;
}
