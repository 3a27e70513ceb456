#!/usr/bin/env bash
# What only the real program under a real X server shows of undo and the
# help window (the in-process tests check every step's rules): an undo gives
# back the picture pixel for pixel, a key held down repeats as the server
# makes it and still undoes once, two quick presses undo twice, and F1 and
# Escape open and close a real window.
#
# Usage: e2e_history_test.sh MANNEQUIN WM_CLOSE   (DISPLAY must be set)
set -Eeuo pipefail
script_name=e2e-history
trap 'echo "e2e-history: FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR

bin=$1
wm_close=$2

source "$(dirname "${BASH_SOURCE[0]}")/x_helpers.sh"
start_work history
xdo_timeout=5
W=694

# key_settled KEYS NAME: types KEYS to the window and takes the settled shot.
key_settled() {
  xdo key "$1"
  settle "$2"
}

# windows_become N WHAT: the program shows N windows within 2 s of WHAT.
windows_become() {
  local n
  for _ in $(seq 100); do
    n=$(xdo search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)
    ((n == $1)) && return 0
    sleep 0.02
  done
  fail "$n windows, not $1, after $2"
}

# ---- start: the first frame, before any input

start_program
wait_figure start
settle start
xdo windowfocus --sync "$top"
xdo mousemove --window "$gl" 20 640

pose_two_handles start

# ---- undo: the picture before the step, pixel for pixel

key_settled ctrl+z undone
same_as undone pinned "Ctrl+Z after the drag"
key_settled ctrl+y redone
same_as redone posed "Ctrl+Y"

# A held key repeats its press; it still undoes one step only.
xdo keydown ctrl+z
sleep 0.8
xdo keyup ctrl+z
settle held
same_as held pinned "Ctrl+Z held down"

# Two quick presses are two undos.
xdo key --delay 1 ctrl+z ctrl+z
settle to_start
same_as to_start start "two quick Ctrl+Z"

# ---- F1 opens the help window, Escape closes it

# The window and its GL view are two X windows; the help window is one more.
shown=$(xdo search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)
xdo key F1
windows_become $((shown + 1)) F1
note "F1: a help window opened"
# Keys go to the window under the pointer: Escape pressed in the help window.
xdo mousemove --window "$top" 347 333
xdo key Escape
windows_become "$shown" Escape
xdo mousemove --window "$gl" 20 641
settle after_help
same_as after_help to_start "after the help window closed"

# ---- closing the main window ends the program, the help window open or not

xdo key F1
windows_become $((shown + 1)) "F1 again"
close_window
((status == 0)) || fail "exit status $status after closing"
grep -qv -e '^brem$' "$out" && fail "unexpected output: $(grep -v -e '^brem$' "$out" | head -n 3)"
note "closed: exit status 0"
passed=1
