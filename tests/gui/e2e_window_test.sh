#!/usr/bin/env bash
# The main window as a desktop sees it, read with xprop: its class, and a
# title that follows the settings keys and says what just happened; Ctrl+Q
# ends the program with status 0. (Home is checked pixel for pixel in
# process, and used by the end-to-end random test.)
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

# ---- the seven settings keys, and a key with Ctrl that is none

for step in "3:tolerance 0.0001, limits off, uniform weights" "2:tolerance 0.001, limits off, uniform weights" \
  "n:tolerance 0.001, limits on, uniform weights" "s:tolerance 0.001, limits on, limb weights" \
  "m:tolerance 0.001, limits off, limb weights" "d:tolerance 0.001, limits off, uniform weights" \
  "1:tolerance 0.01, limits off, uniform weights"; do
  xdo key "${step%%:*}"
  expect_title "mannequin - ${step#*:}" "key ${step%%:*}"
done
xdo key alt+s ctrl+n ctrl+3
xdo mousemove --window "$gl" 30 630
sleep 0.2
expect_title "mannequin - tolerance 0.01, limits off, uniform weights" "Alt+S, Ctrl+N, Ctrl+3 and a move"

# ---- what just happened

xdo key ctrl+z
expect_title "mannequin - nothing to undo" "Ctrl+Z with nothing to undo"
printf 'hello\n' | timeout 5 xclip -i -selection clipboard
sleep 0.2
xdo key ctrl+v
expect_title 'mannequin - paste: line 1: not a mannequin pose: it begins with "hello"' "a refused paste"
[[ "$(tail -n 1 "$out")" == 'paste: line 1: not a mannequin pose: it begins with "hello"' ]] ||
  fail "the paste printed '$(tail -n 1 "$out")'"

# ---- Ctrl+Q ends the program as closing the window does

xdo key ctrl+q
wait_exit Ctrl+Q
((status == 0)) || fail "exit status $status after Ctrl+Q"
grep -qv -e '^paste: ' -e '^\[' "$out" && fail "unexpected output: $(grep -v -e '^paste: ' -e '^\[' "$out" | head -n 3)"
note "Ctrl+Q: exit status 0"
passed=1
