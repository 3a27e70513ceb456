#pragma once

// Every control of the program, as the help window and the README list them.
// Text between backticks is a key, as the README writes it.
struct Control {
  const char* input;
  const char* effect;
};

inline constexpr Control kControls[] = {
    {"Left click on the body", "pin a new handle at the point under the cursor; it stays pinned there"},
    {"Left press on a handle, drag", "pose the figure: the handle follows the pointer, the other handles stay pinned"},
    {"Right click on a handle", "remove it; the figure relaxes towards the remaining handles"},
    {"Shift + left drag", "rotate the camera around its centre"},
    {"Shift + middle drag", "pan the camera"},
    {"Shift + right drag", "zoom (drag down to move away)"},
    {"`1`, `2`, `3`", "solver tolerance 0.01, 0.001, 0.0001"},
    {"`n`, `m`", "joint limits on, off"},
    {"`s`, `d`", "limb-local weights (a handle moves only its own limb), uniform weights"},
    {"`Ctrl+Z`", "undo the last step: a drag, a new handle, a removal, a reset or a paste"},
    {"`Ctrl+Shift+Z`, `Ctrl+Y`", "redo the step undone last"},
    {"`Ctrl+R`", "reset: the initial pose with every handle removed (`Ctrl+Z` brings them back)"},
    {"`Ctrl+C`", "copy the pose and its handles to the clipboard, as text"},
    {"`Ctrl+V`", "paste the pose and handles on the clipboard (one step)"},
    {"`Ctrl+Shift+V`", "paste it mirrored left and right"},
    {"`Ctrl+O`", "open a pose file, a PNG picture the program made (the pose it carries, handles included), or a frame of a BVH file of this skeleton (one step)"},
    {"`Ctrl+S`", "save the pose to its file; the first time, ask for a name"},
    {"`Ctrl+Shift+S`", "save the pose under another name"},
    {"`Ctrl+E`", "save a PNG picture of the figure, without handles or axes, with the last picture options (at first the view's size on black, as in the view) and the pose inside it; a name ending in .bvh saves the skeleton and its pose as BVH"},
    {"`Ctrl+Shift+E`", "ask the picture's size (the view's, 2x, 4x or a width up to 8192 pixels) and background (black, white or transparent), then save it as `Ctrl+E` does; the choice stays for the next picture"},
    {"`Home`", "the camera back where it started"},
    {"`Keypad 1`, `Keypad 3`, `Keypad 7`", "view the whole figure from the front, from its right side, from the top (toes down the screen); NumLock on or off"},
    {"`Ctrl+Keypad 1`, `Ctrl+Keypad 3`, `Ctrl+Keypad 7`", "view it from the back, from its left side, from the bottom"},
    {"`F5`, `F6`, `F7`", "the same without a keypad: front, right side, top"},
    {"`Shift+F5`, `Shift+F6`, `Shift+F7`", "back, left side, bottom"},
    {"`f`", "frame the whole figure from where the camera looks now"},
    {"`Ctrl+Q`", "quit, as closing the window does"},
    {"`F1`", "a window with this list of controls and the settings (`Escape` closes it)"},
};

// The solver's settings when the program starts, in the title's words.
inline constexpr const char* kDefaultSettings = "tolerance 0.01, limits off, uniform weights";

// What a person should know of the tolerance, as the help window, the README
// and the manual page say it.
inline constexpr const char* kToleranceNotes[] = {
    "At tolerance 0.01 the other handles may drift while one is dragged; 2 or 3 hold them tighter.",
    "A tighter tolerance takes more iterations: from the 91st in one drag event on, each prints a line brem.",
};

// How a pose goes to Blender and comes back, as the help window, the README
// and the manual page say it.
inline constexpr const char* kBlenderNote =
    "To Blender: Ctrl+E with a name ending in .bvh, then in Blender File > Import > Motion Capture (.bvh) "
    "with its default settings; where that import fails with invalid mode: 'rU' (Debian 12's Blender), run "
    "blender --python /usr/share/mannequin/import-bvh.py -- FILE.bvh instead. Back: Ctrl+O opens a .bvh file "
    "of this skeleton, its first frame, or a motion capture's, fitted.";
