#!/usr/bin/env bash
# Runs the real program under valgrind memcheck and drives it through the X
# server for rounds of clicks that pin handles on the figure, drags of each,
# right clicks that remove them all, the solver's keys, undo, redo, reset,
# F1, copy and paste; then closes the window and fails on any definite or
# indirect leak or memory error that the suppressions do not explain.
#
# Usage: session.sh MANNEQUIN WM_CLOSE [LOG]   (DISPLAY must be set)
# MEMCHECK_ROUNDS (default 4) and MEMCHECK_HANDLES (per round, default 6)
# size the session, counted, never timed; MEMCHECK_FIRST_ROUND (default 1)
# numbers its first round, which chooses the keys and where the clicks land,
# so that sessions side by side play different rounds.
# MEMCHECK_TRACK_ORIGINS=yes says where uninitialised values come from, at
# twice the time; MEMCHECK_KEEP=1 keeps a passing run's screenshots.
set -Eeuo pipefail
script_name=memcheck
trap 'echo "memcheck: FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
bin=$1
wm_close=$2
rounds=${MEMCHECK_ROUNDS:-4}
first_round=${MEMCHECK_FIRST_ROUND:-1}
per_round=${MEMCHECK_HANDLES:-6}
[[ $rounds =~ ^[0-9]+$ && $first_round =~ ^[0-9]+$ && $per_round =~ ^[0-9]+$ ]] && ((rounds > 0 && per_round > 0)) || {
  echo "memcheck: MEMCHECK_ROUNDS, MEMCHECK_FIRST_ROUND and MEMCHECK_HANDLES must be whole numbers, the first and last above 0" >&2
  exit 2
}
origins=${MEMCHECK_TRACK_ORIGINS:-no}

source "$here/../gui/x_helpers.sh"
start_work memcheck
log=${3:-$work/valgrind.log}
finish() {
  ((passed)) || echo "memcheck: valgrind's log is $log" >&2
  [[ -z ${MEMCHECK_KEEP:-} ]] || passed=0  # keeps the folder
  finish_work
}
trap finish EXIT
shot_timeout=20
# valgrind's status when it found errors; the program itself never uses it.
error_status=97

# The program is idle, having handled all input and drawn, once it has used
# no processor time for 0.15 s (valgrind sleeps with it).
wait_idle() { idle_within 2400 "$log" "2 minutes"; }

# The green pixels of the axes at the start are not handles.
axes=$work/axes.txt

# "x y" lines: centres of the green points other than the axes'.
handle_points() {
  pixels "$1" | awk -v w="$W" -v axes="$axes" "$classes"'
    BEGIN { while ((getline line < axes) > 0) { split(line, a, " ")
              for (dy = -2; dy <= 2; dy++) for (dx = -2; dx <= 2; dx++) skip[(a[1] + dx) " " (a[2] + dy)] = 1 } }
    { i = NR - 1; x = i % w; y = int(i / w)
      if (!green($1, $2, $3) || ((x " " y) in skip)) next
      for (c = 1; c <= n; c++) if ((x - fx[c]) ^ 2 + (y - fy[c]) ^ 2 <= 36) break
      if (c > n) { n++; fx[c] = x; fy[c] = y }
      sx[c] += x; sy[c] += y; k[c]++ }
    END { for (c = 1; c <= n; c++) printf "%d %d\n", sx[c] / k[c] + 0.5, sy[c] / k[c] + 0.5 }'
}

# "x y" lines: up to N points well inside the figure, spread over it and away
# from any green; ROUND varies where the spreading starts.
body_points() {
  pixels "$1" | awk -v w="$W" -v want="$2" -v round="$3" "$classes"'
    { i = NR - 1; if (magenta($1, $2, $3)) m[i] = 1; else if (green($1, $2, $3)) g[i] = 1 }
    END {
      for (i in m) {
        x = i % w; y = int(i / w)
        if (x % 2 || y % 2) continue
        ok = 1
        for (dy = -3; dy <= 3 && ok; dy++) for (dx = -3; dx <= 3; dx++) if (!((i + dy * w + dx) in m)) { ok = 0; break }
        for (dy = -8; dy <= 8 && ok; dy += 2) for (dx = -8; dx <= 8; dx += 2) if ((i + dy * w + dx) in g) { ok = 0; break }
        if (ok) { n++; cx[n] = x; cy[n] = y }
      }
      if (!n) exit
      # Farthest-point spreading from a start that moves with the round.
      s = (round * 7919) % n + 1
      for (c = 1; c <= n; c++) d[c] = 1e9
      for (k = 1; k <= want && k <= n; k++) {
        print cx[s], cy[s]
        best = -1
        for (c = 1; c <= n; c++) {
          e = (cx[c] - cx[s]) ^ 2 + (cy[c] - cy[s]) ^ 2
          if (e < d[c]) d[c] = e
          if (d[c] > best) { best = d[c]; next_s = c }
        }
        if (best < 400) break
        s = next_s
      }
    }'
}

# A press and release at (x, y) of the view with BUTTON. The pointer gets
# there first and the program sees it arrive, so that the motion does not
# reach it as a drag after the press.
click() {
  xdo mousemove --window "$gl" "$2" "$3"
  sleep 0.1
  xdo mousedown "$1" mouseup "$1"
  wait_idle
}

# The frame that runs a quick click's pick has drawn the handles already, so
# the handle it pins or removes shows only from the next frame on: any event
# brings that frame, a move of the pointer to an empty corner will do.
show_picks() {
  xdo mousemove --window "$gl" 600 600 mousemove --window "$gl" 601 600
  wait_idle
}

# ---- start

vg=(valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect
  --errors-for-leak-kinds=definite,indirect --error-exitcode=$error_status
  --suppressions="$here/mannequin.supp" --gen-suppressions=all --num-callers=40
  --track-origins="$origins" --fullpath-after="$root/" --log-file="$log")
note "${vg[*]} $bin"
started=$SECONDS
"${vg[@]}" "$bin" >"$out" 2>"$err" &
pid=$!

find_window 600 0.1 "$log"
find_view 300 0.1
W=694
wait_idle
wait_figure start 200
pixels "$work/start.png" | awk -v w="$W" "$classes"'{ i = NR - 1; if (green($1, $2, $3)) print i % w, int(i / w) }' >"$axes"
note "first frame after $((SECONDS - started)) s"
xdo windowfocus "$top"

# ---- the rounds

# Each round sets a tolerance (at the default 0.01 small drags do not move the
# figure) and then the weights or the joint limits.
tolerances=(2 3)
settings=(s n d m)
followed=0
session=$SECONDS
for ((round = first_round; round < first_round + rounds; round++)); do
  key="${tolerances[round % 2]} ${settings[round % 4]}"
  xdo mousemove --window "$gl" 600 600
  # shellcheck disable=SC2086
  xdo key $key

  wait_idle
  shot "round$round"
  before=$(handle_points "$work/round$round.png" | wc -l)
  mapfile -t points < <(body_points "$work/round$round.png" "$per_round" "$round")
  ((${#points[@]} > 0)) || fail "round $round: no point well inside the figure"
  for p in "${points[@]}"; do
    read -r x y <<<"$p"
    click 1 "$x" "$y"
  done
  show_picks

  # Drag every handle there is a little way, a few steps each.
  shot "pinned$round"
  mapfile -t handles < <(handle_points "$work/pinned$round.png")
  new=$((${#handles[@]} - before))
  ((new > 0)) || fail "round $round: ${#points[@]} clicks on the figure pinned no handle"
  i=0
  ends=()
  for h in "${handles[@]}"; do
    read -r x y <<<"$h"
    xdo mousemove --window "$gl" "$x" "$y"
    sleep 0.1
    xdo mousedown 1
    dx=$((((round + i) % 5 - 2) * 4))
    dy=$((((round * 3 + i) % 5 - 2) * 4))
    ((dx == 0 && dy == 0)) && dx=5
    # FLTK holds back pointer motion until it has read all queued events and
    # drops it if the release comes first: let the path arrive while the
    # button is still down.
    for step in 1 2 3 4; do
      xdo mousemove --window "$gl" $((x + dx * step)) $((y + dy * step))
    done
    wait_idle
    xdo mouseup 1
    wait_idle
    ends+=("$((x + dx * 4)) $((y + dy * 4))")
    i=$((i + 1))
  done

  # Remove every handle in sight, looking again after each pass.
  for pass in 1 2 3 4 5; do
    shot "left$round-$pass"
    mapfile -t handles < <(handle_points "$work/left$round-$pass.png")
    if ((pass == 1)); then
      # Handles that followed the pointer: a point near where a drag ended.
      for e in "${ends[@]}"; do
        read -r x y <<<"$e"
        if printf '%s\n' "${handles[@]}" | awk -v x="$x" -v y="$y" '
          { if (($1 - x) ^ 2 + ($2 - y) ^ 2 <= 36) hit = 1 } END { exit !hit }'; then
          followed=$((followed + 1))
        fi
      done
    fi
    ((${#handles[@]} == 0)) && break
    for h in "${handles[@]}"; do
      read -r x y <<<"$h"
      click 3 "$x" "$y"
    done
    show_picks
  done
  # Undo brings removed handles back, redo and reset take them away again:
  # records that a step may bring back must stay valid, and none may leak.
  xdo key ctrl+z ctrl+z ctrl+z ctrl+y ctrl+shift+z ctrl+r ctrl+z ctrl+r
  ((round == first_round)) && xdo key F1 Escape
  # The clipboard read through Xlib: the pose copied and pasted back, then a
  # text large enough to come in chunks.
  xdo key ctrl+c ctrl+v
  wait_idle
  head -c 1100000 /dev/zero | tr '\0' 7 | timeout 20 xclip -i -selection clipboard
  xdo key ctrl+v
  wait_idle
  note "round $round (key $key): $new pinned and dragged; $((SECONDS - session)) s"
done
((followed > 0)) || fail "no dragged handle followed the pointer"

# ---- close, as a window manager would, and read valgrind's verdict

close_window 120
note "exit status $status after $((SECONDS - started)) s in all"

grep -q 'ERROR SUMMARY' "$log" || fail "valgrind wrote no summary to $log"
summary=$(grep 'ERROR SUMMARY' "$log" | tail -n 1 | sed 's/^==[0-9]*== //')
note "$summary"

((status != error_status)) || fail "valgrind reported errors that no suppression explains (see $log)"
((status == 0)) || fail "exit status $status after closing"
note "passed: no leak and no memory error in $((SECONDS - started)) s"
passed=1
