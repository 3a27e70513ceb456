#!/usr/bin/env bash
# A short seeded burst of real X input to the real program: moves, clicks,
# drags of every button with and without Shift, chords, wheel steps and keys,
# in the view, on its edges and outside it (the random logic itself is
# random_input_test's); then the program still draws the figure, answers a
# Shift-drag, and ends with status 0 when its window closes.
# Usage: e2e_random_test.sh MANNEQUIN WM_CLOSE   (DISPLAY must be set)
# E2E_RANDOM_SEED picks the sequence, E2E_RANDOM_ACTIONS its length (80).
script_name=e2e-random
bin=$1
wm_close=$2
seed=${E2E_RANDOM_SEED:-$(($(date +%s%N) / 1000 % 4294967296))}
actions=${E2E_RANDOM_ACTIONS:-80}
source "$(dirname "${BASH_SOURCE[0]}")/x_helpers.sh"
[[ "$seed" =~ ^[0-9]{1,10}$ && "$actions" =~ ^[0-9]{1,6}$ ]] || fail "E2E_RANDOM_SEED and E2E_RANDOM_ACTIONS are whole numbers"
note_seed="seed $seed (replay with E2E_RANDOM_SEED=$seed)"
note "$note_seed, $actions actions"
start_work e2e-random
context() { echo "$note_seed, action $action"; }
action=start
RANDOM=$seed
start_program
wait_figure start
eval "$(xdo getwindowgeometry --shell "$top")"

keys=(s d 1 2 3 n m p x r Return Escape space Tab Delete Up Left Home End F1 ctrl+z ctrl+y shift+s Shift_L)
# Points on the screen in the view, on its edges or past them; no subshell,
# which would draw from a seed of its own.
for ((action = 1; action <= actions; action++)); do
  x=$((X + RANDOM % 760 - 30)) y=$((Y + RANDOM % 730 - 30)) x2=$((X + RANDOM % 760 - 30)) y2=$((Y + RANDOM % 730 - 30))
  x=$((x < 0 ? 0 : x)) y=$((y < 0 ? 0 : y)) x2=$((x2 < 0 ? 0 : x2)) y2=$((y2 < 0 ? 0 : y2))
  b=$((RANDOM % 3 + 1))
  case $((RANDOM % 7)) in
    0) cmd=(mousemove "$x" "$y") ;;
    1) cmd=(mousemove "$x" "$y" click "$b") ;;
    2) cmd=(mousemove "$x" "$y" mousedown "$b" mousemove "$x2" "$y2" mouseup "$b") ;;
    3) cmd=(mousemove "$x" "$y" keydown shift mousedown "$b" mousemove "$x2" "$y2"
      mouseup "$b" keyup shift) ;;
    4) cmd=(mousemove "$x" "$y" mousedown 1 mousedown 3 mouseup 1 key "${keys[RANDOM % ${#keys[@]}]}"
      mouseup 3) ;;
    5) cmd=(mousemove "$x" "$y" click $((RANDOM % 2 + 4)) click $((RANDOM % 2 + 4))) ;;
    *) cmd=(key "${keys[RANDOM % ${#keys[@]}]}") ;;
  esac
  xdo "${cmd[@]}" || fail "xdotool failed or hung on: ${cmd[*]}"
  running || fail "the program died on ${cmd[*]}: $(tail -n 20 "$err")"
  # F1's window takes the keys after it: closed again with Escape.
  ((action % 10)) || { xdo mousemove --window "$gl" 345 330 key Escape Escape Home; idle_within 600 "$err" "30 s"; }
done

action=check
x=345 y=330
xdo keyup shift mousemove "$x" "$y" key Escape Home
idle_within 600 "$err" "30 s after Home"
wait_figure after
lines_before=$(trace_lines)
xdo keydown shift mousedown 1 mousemove $((x + 40)) "$y"
idle_within 600 "$err" "30 s of turning"
xdo mouseup 1 keyup shift
idle_within 600 "$err" "30 s after the turn"
shot turned
new=$(grep '^\[' "$out" | tail -n +$((lines_before + 1)) || true)
traced=$(awk '{ if ($0 !~ /^\[[0-9]+ 0 -0\]$/) bad = 1; sub(/^\[/, ""); sum += $1 } END { print bad ? -1 : sum }' <<<"$new")
((traced == 40)) || fail "the Shift-drag traced '$new', expected steps '[N 0 -0]' adding up to 40"
changed=$(magenta_changes "$work/after.png" "$work/turned.png")
((changed > 20)) || fail "the Shift-drag changed only $changed pixels"
note "still answering: the Shift-drag changed $changed pixels"

close_window 10
((status == 0)) || fail "exit status $status after closing: $(tail -n 40 "$err")"
note "closed: exit status 0"
passed=1
