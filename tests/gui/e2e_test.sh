#!/usr/bin/env bash
# The real program driven with xdotool as a person would: a click pins a
# handle, a drag poses, Shift-drags move the camera, the keypad's views turn
# it, closing the window ends the program; read back from screenshots and the
# program's standard output.
# Usage: e2e_test.sh MANNEQUIN WM_CLOSE   (DISPLAY must be set)
# E2E_PACED=1 (a program under emulation) waits for the program after each
# input, with long limits; E2E_CLICK="X Y" pins there; E2E_KEEP=DIR keeps the
# screenshots, the output and the click's point of a passing run there.
script_name=${E2E_NAME:-e2e}

bin=$1
wm_close=$2

source "$(dirname "${BASH_SOURCE[0]}")/x_helpers.sh"
start_work e2e
xdo_timeout=5
frame_tries=100
close_seconds=5
pace() { sleep 0.03; }
if [[ -n ${E2E_PACED:-} ]]; then
  xdo_timeout=10
  window_tries=1500
  view_tries=500
  frame_tries=600
  settle_tries=100
  close_seconds=30
  pace() { idle_within 600 "$err" "30 s: $1"; }
fi

# How many pixels of a class lie within a square of radius r around (x, y).
count_near() {
  local file=$1 class=$2 x=$3 y=$4 r=$5
  pixels "$file" | awk -v w="$W" -v x="$x" -v y="$y" -v r="$r" "$classes"'
    { i = NR - 1; px = i % w; py = int(i / w)
      if (px >= x - r && px <= x + r && py >= y - r && py <= y + r && '"$class"'($1, $2, $3)) n++ }
    END { print n + 0 }'
}

# ---- start with options the program ignores

start_program --foo -x
top_geometry=$(xdo getwindowgeometry "$top" | awk '/Geometry/ { print $2 }')
[[ "$top_geometry" == 694x666 ]] || fail "window is $top_geometry, not 694x666"
W=694

# The first frame: the figure shows up in magenta on black.
wait_figure start "$frame_tries"
pace "the first frame"
settle start
note "figure: $(magenta_count "$work/start.png") magenta pixels"

# ---- a click on the body pins a handle: a green point where it was clicked

read -r px py < <(body_point "$work/start.png")
[[ -z ${E2E_CLICK:-} ]] || read -r px py <<<"$E2E_CLICK"
((px >= 0)) || fail "no pixel well inside the figure"
before=$(count_near "$work/start.png" green "$px" "$py" 3)
((before == 0)) || fail "green at ($px, $py) before any click"

xdo mousemove --window "$gl" "$px" "$py"
pace "the move to the click"
xdo mousedown 1 sleep 0.1 mouseup 1
pace "the click"
settle pinned
after=$(count_near "$work/pinned.png" green "$px" "$py" 3)
((after >= 12)) || fail "no handle point at ($px, $py) after the click ($after green pixels)"
note "click at ($px, $py) pinned a handle: $after green pixels"

# ---- dragging the handle poses the figure; '3' makes it follow closely

# Keys go to the focused top-level window; focus on the GL child loses them.
xdo windowfocus --sync "$top"
xdo key 3
xdo mousedown 1
for i in $(seq 12); do
  xdo mousemove --window "$gl" $((px + 5 * i)) $((py - 2 * i))
  pace "a drag step"
done
xdo mouseup 1
ex=$((px + 60)) ey=$((py - 24))
pace "the drag"
settle dragged
changed=$(magenta_changes "$work/pinned.png" "$work/dragged.png")
((changed > 1000)) || fail "the drag changed only $changed pixels"
at_end=$(count_near "$work/dragged.png" green "$ex" "$ey" 3)
at_start=$(count_near "$work/dragged.png" green "$px" "$py" 3)
((at_end >= 9)) || fail "the handle point is not under the pointer at ($ex, $ey)"
((at_start == 0)) || fail "a handle point stayed at ($px, $py)"
note "drag: $changed pixels changed, the handle at ($ex, $ey)"

# ---- Shift-drags turn, pan and zoom the camera, and trace each step on
# stdout (which way and how far is camera_test's)

traced_since() { (($(trace_lines) >= $1)); }
previous=dragged
for drag in "1 8 0 rotated" "2 -6 4 panned" "3 0 10 zoomed"; do
  read -r button dx dy name <<<"$drag"
  lines_before=$(trace_lines)
  xdo mousemove --window "$gl" 600 600
  pace "the move to a camera drag"
  xdo keydown shift mousedown "$button"
  for i in 1 2 3 4 5; do
    xdo mousemove --window "$gl" $((600 + dx * i)) $((600 + dy * i))
    pace "a camera drag step"
    # The toolkit merges motion that queues up: one step traced, then the next.
    poll 500 0.02 traced_since $((lines_before + i)) || true
  done
  xdo mouseup "$button" keyup shift
  pace "a camera drag"
  settle "$name"
  new=$(grep '^\[' "$out" | tail -n +$((lines_before + 1)) || true)
  [[ "$new" == "$(printf "[$dx $dy -0]\n%.0s" 1 2 3 4 5)" ]] || fail "$name: traced '$new', not five '[$dx $dy -0]'"
  changed=$(magenta_changes "$work/$previous.png" "$work/$name.png")
  ((changed > 1000)) || fail "$name: only $changed pixels changed"
  note "$name: 5 trace lines, $changed pixels changed"
  previous=$name
done

# ---- the keypad's views, with NumLock off or on: the camera turns, the
# settings and the *-less title stay. The server starts with NumLock off:
# keypad 1, 3 and 7 come as End, Page Down and Home, which the start camera
# must not take. Then NumLock goes on.

title_before=$(timeout 5 xprop -id "$top" -notype _NET_WM_NAME)
for key in KP_End KP_Next KP_Home Num_Lock KP_1 KP_3 KP_7 Num_Lock; do
  shot before-$key
  xdo key "$key"
  pace "$key"
  [[ $key == Num_Lock ]] && continue
  settle after-$key
  changed=$(magenta_changes "$work/before-$key.png" "$work/after-$key.png")
  ((changed > 1000)) || fail "$key changed only $changed pixels"
  [[ "$(timeout 5 xprop -id "$top" -notype _NET_WM_NAME)" == "$title_before" ]] || fail "$key changed the title"
done
xdo key Home
pace Home
settle home
same_as home dragged "keypad 1, 3 and 7 with NumLock off and on turned the view, keeping the title; Home"

# ---- closing the window ends the program normally

close_window "$close_seconds"
((status == 0)) || fail "exit status $status after closing"
grep -qv -e '^\[' -e '^brem$' "$out" && fail "unexpected output: $(grep -v -e '^\[' -e '^brem$' "$out" | head -n 3)"
note "closed: exit status 0, $(trace_lines) trace lines in all"
if [[ -n ${E2E_KEEP:-} ]]; then
  mkdir -p "$E2E_KEEP"
  cp "$work"/*.png "$out" "$E2E_KEEP"/
  echo "$px $py" >"$E2E_KEEP/click"
fi
passed=1
