#!/usr/bin/env bash
# Ctrl+L opens the pose library, "mannequin: poses", over a shelf of the
# person's own holding one picture the program drew with --thumbnail; a
# click on it previews its pose on the figure, and Escape closes the window
# with the pose as it was, unmodified, as its Cancel button does. (The apply itself is the display-free
# Apply tests'.)
#
# Usage: e2e_library_test.sh MANNEQUIN WM_CLOSE CAPTURE   (DISPLAY must be set)
set -Eeuo pipefail
script_name=e2e-library
trap 'echo "e2e-library: FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR

bin=$1
wm_close=$2
capture=$3

source "$(dirname "${BASH_SOURCE[0]}")/x_helpers.sh"
start_work library
W=694

export XDG_DATA_HOME=$work/data
mkdir -p "$XDG_DATA_HOME/mannequin/poses"
"$bin" --pose "$capture" --frame 8 >"$work/walk.pose"
"$bin" "$work/walk.pose" --png "$XDG_DATA_HOME/mannequin/poses/walk.png" --thumbnail

# The view's left part, which the library's window never covers on this screen.
left() { /usr/bin/convert "$work/$1.png" -crop 500x665+0+0 +repage "$work/$1-left.png"; }

start_program
xdo windowfocus --sync "$top"
settle start
xdo mousemove --window "$gl" 100 100 key ctrl+l
library=$(window_named "mannequin: poses")
note "Ctrl+L: the pose library is open"
# The first picture on the shelves: the program's own, if it has any, else walk.
xdo mousemove --window "$library" 75 120 click 1
settle preview
left start
left preview
changed=$(magenta_changes "$work/start-left.png" "$work/preview-left.png")
((changed > 300)) || fail "the preview changed only $changed pixels"
note "a picture chosen: the figure shows it ($changed pixels changed)"

act_on "$library" key Escape
gone "$library" "the pose library after Escape"
settle after
same_as after start "Escape in the pose library"
expect_title "mannequin - tolerance 0.01, limits off, uniform weights" "Escape in the pose library"

# Its buttons act as their keys do: Cancel closes it, and the program goes on.
xdo mousemove --window "$gl" 100 100 key ctrl+l
library=$(window_named "mannequin: poses")
xdo mousemove --window "$library" 437 534 click 1
gone "$library" "the pose library after its Cancel button"
note "the Cancel button: the pose library is closed"
close_window
((status == 0)) || fail "exit status $status after closing"
passed=1
