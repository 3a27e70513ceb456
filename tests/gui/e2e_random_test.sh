#!/usr/bin/env bash
# Sends the real program a long, seeded random sequence of X input through
# xdotool: moves, clicks and drags of every mouse button with and without
# Shift, button chords, wheel steps and key presses, on the figure, on its
# handles, anywhere in the view, on the window's edges and outside it. Then
# checks that the program still runs and answers: after Home it shows the
# figure, a Shift-drag traces the camera and turns the view, and closing the
# window ends it with status 0.
#
# Usage: e2e_random_test.sh MANNEQUIN WM_CLOSE   (DISPLAY must be set)
# E2E_RANDOM_SEED picks the sequence (printed; by hand it comes from the
# clock), E2E_RANDOM_ACTIONS its length (default 200): a count, never a time.
# Points on the figure come from screenshots of the idle program, so a replay
# lands where the first run did unless the program behaved differently.
set -Eeuo pipefail
script_name=e2e-random
trap 'echo "e2e-random: FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR

bin=$1
wm_close=$2

seed=${E2E_RANDOM_SEED:-$(($(date +%s%N) / 1000 % 4294967296))}
actions=${E2E_RANDOM_ACTIONS:-200}
[[ "$seed" =~ ^[0-9]{1,10}$ && "$actions" =~ ^[0-9]{1,6}$ ]] && ((seed < 4294967296)) || {
  echo "e2e-random: E2E_RANDOM_SEED (below 2^32) and E2E_RANDOM_ACTIONS must be whole numbers" >&2
  exit 2
}
echo "e2e-random: seed $seed (replay with E2E_RANDOM_SEED=$seed), $actions actions"

source "$(dirname "${BASH_SOURCE[0]}")/x_helpers.sh"
start_work e2e-random
log=$work/actions.txt
action=0
context() { echo "seed $seed, action $action"; }
# On failure, the last actions too.
finish() {
  ((passed)) || tail -n 8 "$log" 2>/dev/null | sed 's/^/  last: /' >&2 || true
  finish_work
}
trap finish EXIT

# ---- the random numbers: xorshift32, in this shell so that no subshell
# loses the state. rand N leaves a number in [0, N) in R.
state=$(((seed * 1103515245 + 12345 ^ 0x9E3779B9) & 0xFFFFFFFF))
((state != 0)) || state=1
rand() {
  state=$((state ^ ((state << 13) & 0xFFFFFFFF)))
  state=$((state ^ (state >> 17)))
  state=$((state ^ ((state << 5) & 0xFFFFFFFF)))
  R=$((state % $1))
}
# between LO HI: a number in [LO, HI] in R.
between() {
  rand $(($2 - $1 + 1))
  R=$((R + $1))
}

# The program has handled all input sent and drawn once it has used no
# processor time for 0.15 s.
wait_idle() { idle_within 600 "$err" "30 s: $1"; }

# Targets from a picture of the idle program, in window coordinates: every third
# magenta pixel of the figure and every green pixel of the handles.
body=()
handles=()
refresh_targets() {
  wait_idle "before a look at the figure"
  shot targets
  local kind x y
  body=()
  handles=()
  while read -r kind x y; do
    if [[ $kind == m ]]; then body+=("$x $y"); else handles+=("$x $y"); fi
  done < <(pixels "$work/targets.png" | awk -v w="$W" "$classes"'
    { i = NR - 1; x = i % w; y = int(i / w)
      if (green($1, $2, $3)) print "g", x, y
      else if (x % 3 == 0 && y % 3 == 0 && magenta($1, $2, $3)) print "m", x, y }')
}

# ---- start the program and find its window

start_program

eval "$(xdo getwindowgeometry --shell "$top")"
W=$WIDTH H=$HEIGHT X0=$X Y0=$Y
read -r SW SH < <(xdo getdisplaygeometry)
# The GL view is the window's child at (0, 0), 4 pixels narrower, 1 lower.
VW=$((W - 4))
VH=$((H - 1))
note "window $top: ${W}x${H} at ($X0, $Y0) on a ${SW}x${SH} screen"

wait_figure start

# ---- the random sequence

keys=(s d 1 2 3 n m s d 1 2 3 n m a x z q 0 9 space Return Tab BackSpace Delete
  Up Down Left Right Home End Page_Up F1 F5 shift+s ctrl+z alt+x ctrl+shift+d
  Shift_L Control_L Alt_L)
# Where the pointer is, in screen coordinates.
px=$X0
py=$Y0

# pick_target: a random point in screen coordinates, in T_X T_Y, with T_WHAT
# saying where it is.
pick_target() {
  local n
  rand 100
  if ((R < 40 && ${#body[@]} > 0)); then
    rand ${#body[@]}
    read -r T_X T_Y <<<"${body[R]}"
    T_WHAT=body
  elif ((R < 58 && ${#handles[@]} > 0)); then
    rand ${#handles[@]}
    read -r T_X T_Y <<<"${handles[R]}"
    T_WHAT=handle
  elif ((R < 80)); then
    rand "$VW"
    T_X=$R
    rand "$VH"
    T_Y=$R
    T_WHAT=view
  elif ((R < 92)); then
    # The edges of the view and of the window: first and last rows and
    # columns, the strip beside the view and the row under it.
    rand 6
    n=$R
    case $n in
      0) T_X=0 ;;
      1) T_X=$((VW - 1)) ;;
      2) between "$VW" $((W - 1)) && T_X=$R ;;
      *) rand "$W" && T_X=$R ;;
    esac
    case $n in
      0 | 1 | 2) rand "$H" && T_Y=$R ;;
      3) T_Y=0 ;;
      4) T_Y=$((VH - 1)) ;;
      *) T_Y=$((H - 1)) ;;
    esac
    T_WHAT=edge
  else
    # Outside the window, somewhere else on the screen.
    rand 2
    if ((R)); then
      between "$W" $((SW - X0 - 1)) && T_X=$R
      rand "$SH" && T_Y=$((R - Y0))
    else
      rand "$SW" && T_X=$((R - X0))
      between "$H" $((SH - Y0 - 1)) && T_Y=$R
    fi
    T_WHAT=outside
  fi
  T_X=$((T_X + X0))
  T_Y=$((T_Y + Y0))
}
# aim: the pointer to a random target.
aim() {
  pick_target
  move_to "$T_X" "$T_Y"
}

# The xdotool commands of one action are gathered in cmd and sent in one call,
# or in a few where the program must catch up in between.
cmd=()
send() {
  ((${#cmd[@]} == 0)) && return 0
  echo "$action $1: ${cmd[*]}" >>"$log"
  xdo "${cmd[@]}" || fail "xdotool failed or hung on: ${cmd[*]}"
  cmd=()
}
# FLTK holds back pointer motion until it has read all queued events and
# drops it if a release comes first: before releasing a camera drag, let the
# program take in the path, so that the camera moved as far as counted.
catch_up() {
  send "$1"
  wait_idle "$1"
}
# move_to X Y: the pointer to (X, Y), kept on the screen.
move_to() {
  px=$(($1 < 0 ? 0 : $1 >= SW ? SW - 1 : $1))
  py=$(($2 < 0 ? 0 : $2 >= SH ? SH - 1 : $2))
  cmd+=(mousemove "$px" "$py")
}

# A wandering path of N steps from the pointer, each at most STEP pixels,
# sometimes leaving the window.
wander() {
  local n=$1 step=$2 i
  for ((i = 0; i < n; i++)); do
    between $((-step)) "$step"
    local dx=$R
    between $((-step)) "$step"
    move_to $((px + dx)) $((py + R))
    rand 3
    if ((R == 0)); then cmd+=(sleep 0.02); fi
  done
}

# A Shift-drag of the camera with BUTTON. The camera may leave the figure
# out of view; Home brings it back, at random and before the last checks.
camera_drag() {
  local b=$1
  # Pressed inside the view, or the program sees no drag at all.
  pick_target
  while ((T_X < X0 || T_X >= X0 + VW || T_Y < Y0 || T_Y >= Y0 + VH)); do pick_target; done
  move_to "$T_X" "$T_Y"
  cmd+=(keydown shift mousedown "$b")
  between 1 10
  wander "$R" 25
  catch_up "camera drag $b"
  cmd+=(mouseup "$b" keyup shift)
}

one_action() {
  local kind b n
  cmd=()
  rand 100
  if ((R < 10)); then
    kind=move
    aim
  elif ((R < 38)); then
    kind=click
    aim
    local buttons=(1 1 1 1 3 3 3 2 4 5 6 7)
    rand ${#buttons[@]}
    b=${buttons[R]}
    rand 5
    if ((R == 0 && b <= 3)); then
      camera_drag "$b"
      kind=shift-click
    else
      cmd+=(mousedown "$b")
      # Released at once, before the next frame, or a moment later.
      rand 2
      if ((R)); then cmd+=(sleep 0.05); fi
      cmd+=(mouseup "$b")
    fi
    kind+=" $b $T_WHAT"
  elif ((R < 62)); then
    local buttons=(1 1 1 1 3 3 2)
    rand ${#buttons[@]}
    b=${buttons[R]}
    rand 3
    if ((R == 0)); then
      camera_drag "$b"
      kind="shift-drag $b"
    else
      kind=drag
      aim
      cmd+=(mousedown "$b")
      between 1 15
      wander "$R" 30
      # Sometimes Shift comes or goes while the button is held.
      rand 4
      if ((R == 0)); then
        cmd+=(keydown shift)
        wander 3 10
        cmd+=(mouseup "$b" keyup shift)
      else
        cmd+=(mouseup "$b")
      fi
      kind+=" $b $T_WHAT"
    fi
  elif ((R < 82)); then
    kind=key
    rand 2
    if ((R)); then cmd+=(windowfocus "$top"); fi
    rand 3
    n=$((R + 1))
    local i
    for ((i = 0; i < n; i++)); do
      rand ${#keys[@]}
      cmd+=(key "${keys[R]}")
      kind+=" ${keys[R]}"
    done
  elif ((R < 90)); then
    # A key or a second button while a button is held.
    kind=chord
    aim
    rand 2
    b=$((R * 2 + 1))
    cmd+=(mousedown "$b")
    wander 2 15
    rand 2
    if ((R)); then
      rand ${#keys[@]}
      cmd+=(key "${keys[R]}")
      kind+=" $b+key ${keys[R]}"
    else
      local other=$((4 - b))
      cmd+=(mousedown "$other")
      wander 2 15
      cmd+=(mouseup "$other")
      kind+=" $b+$other"
    fi
    wander 2 15
    cmd+=(mouseup "$b")
  elif ((R < 95)); then
    kind=wheel
    aim
    rand 4
    n=$((R + 1))
    rand 2
    b=$((R + 4))
    local i
    for ((i = 0; i < n; i++)); do cmd+=(click "$b"); done
    kind+=" $b x$n"
  else
    kind=focus
    rand 2
    if ((R)); then cmd+=(windowfocus "$top"); else cmd+=(windowfocus "$gl"); fi
    aim
  fi
  send "$kind"
}


refresh_targets
note "figure: ${#body[@]} sampled magenta pixels"
start=$SECONDS
for ((action = 1; action <= actions; action++)); do
  ((action % 40)) || refresh_targets
  one_action
  running || fail "the program died: $(tail -n 20 "$err")"
done
action=$actions
note "sent $action actions in $((SECONDS - start)) s"

# ---- still alive, still drawing, still answering

action=check
xdo keyup shift || true
x=$((X0 + VW / 2))
y=$((Y0 + VH / 2))
xdo mousemove "$x" "$y"
xdo key Home
wait_idle "after the sequence and Home"
wait_figure after
note "still drawing the figure"

lines_before=$(trace_lines)
cmd=(keydown shift mousedown 1)
for i in 1 2 3 4 5; do cmd+=(mousemove $((x + 8 * i)) "$y" sleep 0.03); done
catch_up "the turn"
xdo mouseup 1 keyup shift
wait_idle "after the turn"
shot turned
new=$(grep '^\[' "$out" | tail -n +$((lines_before + 1)) || true)
# Five steps of 8 pixels right; FLTK may merge motion events that queue up,
# so the steps must add up rather than come one by one.
traced=$(awk 'BEGIN { ok = 1 }
  { if ($0 !~ /^\[[0-9]+ 0 -0\]$/) ok = 0; sub(/^\[/, ""); sum += $1; n++ }
  END { print (ok && n > 0 && sum == 40) ? n : 0 }' <<<"$new")
((traced > 0)) || fail "the Shift-drag traced '$new', expected steps '[N 0 -0]' adding up to 40"
changed=$(magenta_changes "$work/after.png" "$work/turned.png")
((changed > 20)) || fail "the Shift-drag changed only $changed pixels"
note "still answering: a Shift-drag traced $traced lines and changed $changed pixels"

# ---- closing the window ends the program normally

close_window 10
((status == 0)) || fail "exit status $status after closing: $(tail -n 40 "$err")"
note "closed: exit status 0, $(trace_lines) trace lines in all"
passed=1
