#pragma once

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
