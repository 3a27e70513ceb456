#!/usr/bin/env bash
# The arm64 package's program run as an arm64 user would run it, here under
# qemu-aarch64 with the arm64 libraries of the multiarch install, then the
# amd64 package's program driven by the very same input: the 690x665 view
# opens and shows the figure, a click pins a handle, a drag moves the body,
# Ctrl+Z takes the drag back, Shift-drags move the camera, closing the window
# ends the program with status 0, and both print the same lines.
#
# Usage: package_arm64_session.sh ARM64_ROOT AMD64_ROOT WM_CLOSE
#   (the roots are where the packages were unpacked; DISPLAY must be set)
set -Eeuo pipefail
script_name=package-arm64
trap 'echo "$script_name: FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR

arm_root=$1
amd_root=$2
wm_close=$3

# xdo, shot, pixels, classes, green_count, magenta_changes, body_point,
# settle, differing_pixels, idle_within, find_window, find_view,
# close_window, stop_program.
source "$(dirname "${BASH_SOURCE[0]}")/x_helpers.sh"
start_work arm64
W=694
# Under emulation the first frame takes seconds (llvmpipe compiles its
# shaders then) and every later one far longer than here: generous bounds.
idle_tries=600
settle_tries=100

session=
context() { echo "$session"; }
err_log() { cat "$work/$session.err"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# "magenta black" pixel counts of a screenshot.
figure_pixels() {
  pixels "$1" | awk "$classes"'
    { if (magenta($1, $2, $3)) m++; else if ($1 < 8 && $2 < 8 && $3 < 8) k++ }
    END { print m + 0, k + 0 }'
}

wait_idle() { idle_within "$idle_tries" "$work/$session.err" "$1"; }

# One move of the pointer while a button is held, handled before the next:
# one drag event each, however slow the program, so that both programs get
# the same events.
drag_to() {
  xdo mousemove --window "$gl" "$1" "$2"
  wait_idle "30 s after a drag step"
}

# camera_drag BUTTON DX DY NAME: five steps of (DX, DY) with Shift held from
# an empty corner of the view; the program must trace each step.
camera_drag() {
  local button=$1 dx=$2 dy=$3 name=$4 before new expected x=600 y=600
  before=$(grep -c '^\[' "$out" || true)
  xdo mousemove --window "$gl" "$x" "$y"
  wait_idle "30 s"
  xdo keydown shift
  xdo mousedown "$button"
  for i in 1 2 3 4 5; do
    drag_to $((x + dx * i)) $((y + dy * i))
  done
  xdo mouseup "$button"
  xdo keyup shift
  wait_idle "30 s after a camera drag"
  settle "$session-$name" "$settle_tries"
  new=$(grep '^\[' "$out" | tail -n +$((before + 1)) || true)
  expected=$(for _ in 1 2 3 4 5; do printf '[%d %d -0]\n' "$dx" "$dy"; done)
  [[ $new == "$expected" ]] || fail "button $button traced '$new', expected five '[$dx $dy -0]'"
}

# run NAME COMMAND...: the whole session with one program. The first
# session chooses the point to click on; the second clicks there too.
px=
py=
run() {
  session=$1
  shift
  out=$work/$session.out
  local t0 t_window t_figure count black green_before green_after changed

  t0=$(now_ms)
  (cd / && exec "$@") >"$out" 2>"$work/$session.err" &
  pid=$!
  find_window 1500 0.02 "30 s" running err_log
  t_window=$(($(now_ms) - t0))
  local geometry
  geometry=$(xdo getwindowgeometry "$top" | awk '/Geometry/ { print $2 }')
  [[ $geometry == 694x666 ]] || fail "window is $geometry, not 694x666"
  find_view 200 0.05

  # ---- the first frame: the figure in magenta on black
  count=0
  for _ in $(seq 600); do
    shot "$session-start"
    read -r count black < <(figure_pixels "$work/$session-start.png")
    ((count > 5000)) && break
    running || fail "the program exited early: $(err_log)"
    sleep 0.05
  done
  t_figure=$(($(now_ms) - t0))
  ((count > 5000)) || fail "no figure on screen ($count magenta pixels)"
  wait_idle "30 s after start"
  settle "$session-start" "$settle_tries"
  read -r count black < <(figure_pixels "$work/$session-start.png")
  ((count > 5000 && black > 694 * 666 / 2)) ||
    fail "not a magenta figure on black: $count magenta, $black black pixels"
  note "$session: window after $t_window ms, figure after $t_figure ms ($count magenta pixels on $black black)"

  # ---- a click on the body pins a handle
  if [[ -z $px ]]; then
    read -r px py < <(body_point "$work/$session-start.png")
    ((px >= 0)) || fail "no pixel well inside the figure"
  fi
  green_before=$(green_count "$work/$session-start.png")
  xdo mousemove --window "$gl" "$px" "$py"
  wait_idle "30 s"
  xdo mousedown 1
  sleep 0.1
  xdo mouseup 1
  wait_idle "30 s after the click"
  settle "$session-pinned" "$settle_tries"
  green_after=$(green_count "$work/$session-pinned.png")
  ((green_after >= green_before + 12)) ||
    fail "no handle point after the click at ($px, $py): green pixels $green_before -> $green_after"
  note "$session: click at ($px, $py) pinned a handle (green pixels $green_before -> $green_after)"

  # ---- dragging it moves the body; '3' makes it follow closely
  xdo windowfocus --sync "$top"
  xdo key 3
  xdo mousedown 1
  for i in $(seq 12); do
    drag_to $((px + 5 * i)) $((py - 2 * i))
  done
  xdo mouseup 1
  wait_idle "30 s after the drag"
  settle "$session-dragged" "$settle_tries"
  changed=$(magenta_changes "$work/$session-pinned.png" "$work/$session-dragged.png")
  ((changed > 1000)) || fail "the drag changed only $changed pixels"
  note "$session: the drag changed $changed pixels"

  # ---- Ctrl+Z takes the drag back: the picture from before it, pixel for pixel
  xdo key ctrl+z
  wait_idle "30 s after Ctrl+Z"
  settle "$session-undone" "$settle_tries"
  changed=$(differing_pixels "$work/$session-pinned.png" "$work/$session-undone.png")
  [[ $changed == 0 ]] ||
    fail "after Ctrl+Z, $changed pixels differ from the picture before the drag"
  note "$session: Ctrl+Z gave back the picture from before the drag"

  # ---- Shift-drags turn and pan the camera, and say so on stdout
  camera_drag 1 3 -2 turned
  camera_drag 2 -6 4 panned
  changed=$(magenta_changes "$work/$session-undone.png" "$work/$session-panned.png")
  ((changed > 1000)) || fail "the camera moves changed only $changed pixels"
  note "$session: camera moved, $changed pixels changed"

  # ---- the close button ends it normally
  close_window 1500 0.02 "30 s"
  ((status == 0)) || fail "exit status $status after closing"
  note "$session: closed, exit status 0, $(wc -l <"$out") lines printed"
  if [[ -s $work/$session.err ]]; then
    note "$session: stderr: $(head -n 5 "$work/$session.err")"
  fi
}

run arm64 qemu-aarch64 -L / "$arm_root/usr/bin/mannequin"
run amd64 "$amd_root/usr/bin/mannequin"

session=both
lines=$(diff "$work/amd64.out" "$work/arm64.out") ||
  fail "the programs printed different lines (< amd64, > arm64):"$'\n'"$lines"
note "both printed the same $(wc -l <"$work/arm64.out") lines:"
sed 's/^/    /' "$work/arm64.out"
# The same pictures too, but for the odd pixel where llvmpipe's arm64 and
# x86-64 code round differently: at most a thousandth of the window.
for name in start pinned dragged undone turned panned; do
  changed=$(differing_pixels "$work/arm64-$name.png" "$work/amd64-$name.png")
  ((changed <= 694 * 666 / 1000)) || fail "$name: $changed pixels differ between arm64 and amd64"
  note "$name: $changed pixels differ between arm64 and amd64"
done
passed=1
