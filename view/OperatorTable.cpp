#include "view/OperatorTable.h"

#include <FL/Fl.H>

#include <algorithm>

namespace operators {

namespace {

constexpr Binding command(int key, Mods mods, Command c) { return {key, mods, Kind::Command, c}; }
constexpr Binding setting(int key, SolverSetting s) {
  return {key, Mods::Any, Kind::Setting, Command::None, s};
}
constexpr Binding gesture(int button, Mods mods, Gesture g) {
  return {FL_Button + button, mods, Kind::Gesture, Command::None, SolverSetting::Tolerance2, g};
}
constexpr Binding answer(int key, Answer a, const char* label) {
  return {key, Mods::Any, Kind::Answer, Command::None, SolverSetting::Tolerance2, Gesture::None, a, label};
}

constexpr int kLeft = FL_LEFT_MOUSE, kMiddle = FL_MIDDLE_MOUSE, kRight = FL_RIGHT_MOUSE, kWheel = 4;
using C = Command;
using S = SolverSetting;

constexpr Row kRows[] = {
    {"Left click on the body", "pin a new handle at the point under the cursor; it stays pinned there",
     {gesture(kLeft, Mods::Unshifted, Gesture::Pose)}},
    {"Left press on a handle, drag", "pose the figure: the handle follows the pointer, the other handles stay pinned", {}},
    {"Right click on a handle", "remove it; the figure relaxes towards the remaining handles",
     {gesture(kRight, Mods::Unshifted, Gesture::Unpin)}},
    {"Shift + left drag", "rotate the camera around its centre", {gesture(kLeft, Mods::Shifted, Gesture::Rotate)}},
    {"Shift + middle drag", "pan the camera", {gesture(kMiddle, Mods::Shifted, Gesture::Pan)}},
    {"Shift + right drag", "zoom (drag down to move away)", {gesture(kRight, Mods::Shifted, Gesture::Zoom)}},
    {"Mouse wheel", "zoom, each notch as a 10-pixel Shift + right drag",
     {gesture(kWheel, Mods::Any, Gesture::WheelZoom)}},
    {"`1`, `2`, `3`", "solver tolerance 0.01, 0.001, 0.0001",
     {setting('1', S::Tolerance2), setting('2', S::Tolerance3), setting('3', S::Tolerance4)}},
    {"`n`, `m`", "joint limits on, off", {setting('n', S::LimitsOn), setting('m', S::LimitsOff)}},
    {"`s`, `d`", "limb-local weights (a handle moves only its own limb), uniform weights",
     {setting('s', S::LimbWeights), setting('d', S::UniformWeights)}},
    {"`Ctrl+Z`", "undo the last step: a drag, a new handle, a removal, a reset or a paste",
     {command('z', Mods::Ctrl, C::Undo)}},
    {"`Ctrl+Shift+Z`, `Ctrl+Y`", "redo the step undone last",
     {command('z', Mods::CtrlShift, C::Redo), command('y', Mods::Ctrl, C::Redo)}},
    {"`p`",
     "firm pins on or off: while on, every pinned handle holds within a millimetre of its target, and the dragged "
     "one goes only as far as they let it; two pins on a foot, heel and toe, hold its direction",
     {command('p', Mods::Plain, C::ToggleFirmPins)}},
    {"`r` over the body, then move the mouse",
     "turn that part about its own joint (across the screen about the view's up, up and down about its right); "
     "a left click or `Enter` keeps the turn, `Escape` or a right click puts it back",
     {command('r', Mods::Plain, C::TurnJoint), command(FL_Enter, Mods::Any, C::KeepTurn),
      command(FL_KP_Enter, Mods::Any, C::KeepTurn)}},
    {"`x`",
     "mirror mode on or off: a click pins a handle and its twin on the other side (one on the midline), a drag "
     "moves the twin to the mirror image, a removal takes both, and a turn turns both sides",
     {command('x', Mods::Plain, C::ToggleMirror)}},
    {"`Ctrl+N`", "a new untitled pose: the start pose with no handles, after asking about changes not saved",
     {command('n', Mods::Ctrl, C::NewPose)}},
    {"`Ctrl+R`", "reset: the initial pose with every handle removed (`Ctrl+Z` brings them back)",
     {command('r', Mods::Ctrl, C::Reset)}},
    {"`Ctrl+C`", "copy the pose and its handles to the clipboard, as text", {command('c', Mods::Ctrl, C::Copy)}},
    {"`Ctrl+V`", "paste the pose and handles on the clipboard (one step)", {command('v', Mods::Ctrl, C::Paste)}},
    {"`Ctrl+Shift+V`", "paste it mirrored left and right", {command('v', Mods::CtrlShift, C::PasteMirrored)}},
    {"`Ctrl+O`",
     "open a pose file, a PNG picture the program made (the pose it carries, handles included), or a frame of a "
     "BVH file, of this skeleton or a motion capture's fitted, chosen in a window when it has more (one step)",
     {command('o', Mods::Ctrl, C::Open)}},
    {"`Ctrl+S`", "save the pose to its file; the first time, ask for a name", {command('s', Mods::Ctrl, C::Save)}},
    {"`Ctrl+Shift+S`", "save the pose under another name", {command('s', Mods::CtrlShift, C::SaveAs)}},
    {"`Ctrl+E`",
     "save a PNG picture of the figure, without handles or axes, with the last picture options (at first the "
     "view's size on black, as in the view) and the pose inside it; a name ending in .bvh saves the skeleton and "
     "its pose as BVH",
     {command('e', Mods::Ctrl, C::ExportPicture)}},
    {"`Ctrl+Shift+E`",
     "ask the picture's size (the view's, 2x, 4x or a width up to 8192 pixels) and background (black, white or "
     "transparent), then save it as `Ctrl+E` does; the choice stays for the next picture",
     {command('e', Mods::CtrlShift, C::ExportPictureAs)}},
    {"`Home`", "the camera back where it started", {command(FL_Home, Mods::Any, C::Home)}},
    {"`Keypad 1`, `Keypad 3`, `Keypad 7`",
     "view the whole figure from the front, from its right side, from the top (toes down the screen); NumLock on "
     "or off",
     {command(FL_KP + '1', Mods::Plain, C::ViewFront), command(FL_KP + '3', Mods::Plain, C::ViewRight),
      command(FL_KP + '7', Mods::Plain, C::ViewTop)}},
    {"`Ctrl+Keypad 1`, `Ctrl+Keypad 3`, `Ctrl+Keypad 7`", "view it from the back, from its left side, from the bottom",
     {command(FL_KP + '1', Mods::Ctrl, C::ViewBack), command(FL_KP + '3', Mods::Ctrl, C::ViewLeft),
      command(FL_KP + '7', Mods::Ctrl, C::ViewBottom)}},
    {"`F5`, `F6`, `F7`", "the same without a keypad: front, right side, top",
     {command(FL_F + 5, Mods::Plain, C::ViewFront), command(FL_F + 6, Mods::Plain, C::ViewRight),
      command(FL_F + 7, Mods::Plain, C::ViewTop)}},
    {"`Shift+F5`, `Shift+F6`, `Shift+F7`", "back, left side, bottom",
     {command(FL_F + 5, Mods::Shift, C::ViewBack), command(FL_F + 6, Mods::Shift, C::ViewLeft),
      command(FL_F + 7, Mods::Shift, C::ViewBottom)}},
    {"`f`", "frame the whole figure from where the camera looks now", {command('f', Mods::Plain, C::FitFigure)}},
    {"`,`, `.`", "narrow or widen the lens by 5 degrees, from 15 to 90 (45 at start; `Home` brings it back)",
     {command(',', Mods::Plain, C::NarrowLens), command('.', Mods::Plain, C::WidenLens)}},
    {"`v`",
     "the clay look on or off: a light grey figure with an outline, a nose, thumbs, heels and toes, standing on a "
     "floor grid; only the drawing changes (the plain look at every start); pictures take the look on screen, and "
     "`Ctrl+Shift+E` offers either",
     {command('v', Mods::Plain, C::ToggleLook)}},
    {"`Ctrl+B`",
     "choose a reference picture (PNG or JPEG, at most 8192 pixels a side) for this view: each exact view and the "
     "free camera keep their own, shown behind the figure only in their view, at 50% opacity, fitting its height",
     {command('b', Mods::Ctrl, C::ChooseReference)}},
    {"`Ctrl+Shift+B`", "remove this view's reference picture", {command('b', Mods::CtrlShift, C::RemoveReference)}},
    {"`b`", "hide or show every reference picture", {command('b', Mods::Plain, C::ToggleReferences)}},
    {"`[`, `]`", "this view's reference picture 10% less or more opaque, from 0 to 100%",
     {command('[', Mods::Plain, C::FainterReference), command(']', Mods::Plain, C::StrongerReference)}},
    {"`Ctrl+Left`, `Ctrl+Right`, `Ctrl+Up`, `Ctrl+Down`", "move this view's reference picture by 1% of the view",
     {command(FL_Left, Mods::Ctrl, C::ReferenceLeft), command(FL_Right, Mods::Ctrl, C::ReferenceRight),
      command(FL_Up, Mods::Ctrl, C::ReferenceUp), command(FL_Down, Mods::Ctrl, C::ReferenceDown)}},
    {"`Ctrl+Page Up`, `Ctrl+Page Down`", "make this view's reference picture 5% larger or smaller",
     {command(FL_Page_Up, Mods::Ctrl, C::LargerReference), command(FL_Page_Down, Mods::Ctrl, C::SmallerReference)}},
    {"`Ctrl+Q`", "quit, as closing the window does", {command('q', Mods::Ctrl, C::Quit)}},
    {"`Ctrl+L`",
     "the pose library: pictures of poses, those that come with the program and your own (in "
     "$XDG_DATA_HOME/mannequin/poses, its folders as groups), to apply to the whole body or a part, mirrored or not, "
     "by an amount; the figure shows it as the choices change",
     {command('l', Mods::Ctrl, C::ShowLibrary)}},
    {"In the frame chooser: `Home`, `End`, `Page Up`, `Page Down`",
     "the capture's first or last frame, or a tenth of its frames earlier or later (`Left` and `Right` step one)",
     {answer(FL_Home, Answer::FirstFrame, ""), answer(FL_End, Answer::LastFrame, ""),
      answer(FL_Page_Up, Answer::EarlierFrames, ""), answer(FL_Page_Down, Answer::LaterFrames, "")}},
    {"In the pose library: `Enter`, `Escape`",
     "apply the chosen pose as one step; or close, the pose as it was",
     {answer(FL_Enter, Answer::ApplyPose, "Apply"), answer(FL_KP_Enter, Answer::ApplyPose, "Apply"),
      answer(FL_Escape, Answer::Cancel, "Cancel")}},
    {"In the pose library: `Left`, `Right`, `Up`, `Down`",
     "choose the pose beside, above or below the chosen one, and show it; with none chosen, the first in sight",
     {answer(FL_Left, Answer::PoseLeft, ""), answer(FL_Right, Answer::PoseRight, ""),
      answer(FL_Up, Answer::PoseAbove, ""), answer(FL_Down, Answer::PoseBelow, "")}},
    {"In the pose library: `i`", "mirrored or not: the pose's right side goes on the left, and its left on the right",
     {answer('i', Answer::MirrorPose, "M&irrored")}},
    {"In the pose library: `a`, `F2`, `Delete`",
     "add the current pose to your poses as a picture (asks its name, and before replacing one); rename the chosen "
     "one of yours; delete it (asks first)",
     {answer('a', Answer::AddPose, "&Add the current pose"), answer(FL_F + 2, Answer::RenamePose, "Rename"),
      answer(FL_Delete, Answer::DeletePose, "Delete")}},
    {"`F1`", "a window with this list of controls and the settings (`Escape` closes it)",
     {command(FL_F + 1, Mods::Any, C::ShowHelp), command(FL_Escape, Mods::Any, C::HideHelp)}},
    // The questions' buttons, which the help does not list.
    {nullptr, nullptr,
     {answer('s', Answer::Save, "&Save"), answer('d', Answer::Discard, "&Discard"),
      answer('r', Answer::Replace, "&Replace"), answer('o', Answer::Overwrite, "&Overwrite")}},
    // The frame chooser's.
    {nullptr, nullptr, {answer(FL_Enter, Answer::Keep, "OK"), answer(FL_Escape, Answer::Cancel, "Cancel")}},
    // The picture options'.
    {nullptr, nullptr,
     {answer('2', Answer::DoubleSize, "&2x"), answer('4', Answer::QuadrupleSize, "&4x"),
      answer('w', Answer::Width, "&Width:")}},
    {nullptr, nullptr,
     {answer('k', Answer::Black, "Blac&k, as in the view"), answer('h', Answer::White, "W&hite"),
      answer('t', Answer::Transparent, "&Transparent")}},
    {nullptr, nullptr, {answer('p', Answer::Plain, "&Plain, as the view first shows it"), answer('c', Answer::Clay, "&Clay")}},
    {nullptr, nullptr, {answer('f', Answer::WithReferences, "Re&ference pictures behind the figure")}},
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
    case Mods::Shifted:
      return shift;
    case Mods::Unshifted:
      return !shift;
  }
  return false;
}

// Calls each(binding) for every binding of the kind, in the table's order.
template <class Each>
void forEach(Kind kind, Each each) {
  for (const Row& row : kRows) {
    for (const Binding& b : row.bindings) {
      if (b.key != 0 && b.kind == kind) each(b);
    }
  }
}

}  // namespace

const Row* begin() { return std::begin(kRows); }
const Row* end() { return std::end(kRows); }

Command commandFor(int key, int state) {
  Command found = Command::None;
  forEach(Kind::Command, [&](const Binding& b) {
    if (b.key == key && matches(b.mods, state)) found = b.command;
  });
  return found;
}

std::optional<SolverSetting> settingFor(int key) {
  std::optional<SolverSetting> found;
  forEach(Kind::Setting, [&](const Binding& b) {
    if (b.key == key) found = b.setting;
  });
  return found;
}

Gesture gestureFor(int button, int state) {
  Gesture found = Gesture::None;
  forEach(Kind::Gesture, [&](const Binding& b) {
    if (b.key == FL_Button + button && matches(b.mods, state)) found = b.gesture;
  });
  return found;
}

const char* labelOf(Answer a) {
  const char* found = "";
  forEach(Kind::Answer, [&](const Binding& b) {
    if (b.answer == a) found = b.label;
  });
  return found;
}

std::optional<Answer> answerFor(int key) {
  std::optional<Answer> found;
  forEach(Kind::Answer, [&](const Binding& b) {
    if (b.key == key) found = b.answer;
  });
  return found;
}

std::optional<Answer> answerAmong(int key, std::initializer_list<Answer> asked) {
  std::optional<Answer> found;
  forEach(Kind::Answer, [&](const Binding& b) {
    if (b.key == key && std::find(asked.begin(), asked.end(), b.answer) != asked.end()) found = b.answer;
  });
  return found;
}

int commandKey(int key, int originalKey) {
  return originalKey >= FL_KP + '0' && originalKey <= FL_KP + '9' ? originalKey : key;
}

}  // namespace operators
