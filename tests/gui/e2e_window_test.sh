#!/usr/bin/env bash
# The main window as a desktop sees it, read with xprop: its class, and a
# title that follows a settings key from the X server and says what just
# happened; Ctrl+Q ends the program with status 0. (Every key's settings and
# messages are checked in process.)
#
# Usage: e2e_window_test.sh MANNEQUIN WM_CLOSE   (DISPLAY must be set)
set -Eeuo pipefail
script_name=e2e-window
trap 'echo "e2e-window: FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR

bin=$1
wm_close=$2

source "$(dirname "${BASH_SOURCE[0]}")/x_helpers.sh"
start_work window
xdo_timeout=5

start_program
xdo mousemove --window "$gl" 20 640
settle start

class=$(timeout 5 xprop -id "$top" WM_CLASS)
[[ "$class" == 'WM_CLASS(STRING) = "mannequin", "mannequin"' ]] || fail "the class is $class"
note "class: $class"
expect_title "mannequin - tolerance 0.01, limits off, uniform weights" "at start"

# ---- a settings key, and keys with Ctrl or Alt that are none

xdo key 2
expect_title "mannequin - tolerance 0.001, limits off, uniform weights" "key 2"
xdo key alt+s ctrl+n ctrl+3
xdo mousemove --window "$gl" 30 630
sleep 0.2
expect_title "mannequin - tolerance 0.001, limits off, uniform weights" "Alt+S, Ctrl+N, Ctrl+3 and a move"

# ---- what just happened

xdo key ctrl+z
expect_title "mannequin - nothing to undo" "Ctrl+Z with nothing to undo"

# ---- Ctrl+Q ends the program as closing the window does

xdo key ctrl+q
wait_exit Ctrl+Q
((status == 0)) || fail "exit status $status after Ctrl+Q"
[[ -s "$out" ]] && fail "unexpected output: $(head -n 3 "$out")"
note "Ctrl+Q: exit status 0"
passed=1
