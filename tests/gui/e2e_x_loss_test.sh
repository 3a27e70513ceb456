#!/usr/bin/env bash
# --png with its X server killed where gdb holds it, however busy the machine
# is: at GL's first question about MIT-SHM in the set-up, --png says so in one
# line, exits with 1 and writes nothing; once the picture is renamed into
# place, whole, it exits with 0. drag: the window's program, during a drag.
# Usage (under run-with-xvfb.sh): e2e_x_loss_test.sh MANNEQUIN POSE setup|written|drag
set -uo pipefail
program=$1 pose=$2 when=$3
dir=$(mktemp -d "${TMPDIR:-/tmp}/mannequin-xloss.XXXXXX")
trap 'rm -rf "$dir"' EXIT
if [[ $when == drag ]]; then
  # The window's program with its server killed during a drag keeps the
  # drag in its recovery copy, as a terminating signal does.
  "$program" >/dev/null 2>&1 &
  for _ in $(seq 200); do top=$(xdotool search --onlyvisible --pid $! | head -1) && break; sleep 0.05; done
  xdotool mousemove --window "$top" 345 380 key F5 sleep 0.3 click 1 sleep 0.5 mousedown 1
  cp "$XDG_STATE_HOME"/mannequin/*.pose "$dir/pinned" || { echo "FAIL (drag): no pin" >&2; exit 1; }
  for i in 1 2 3 4 5; do xdotool mousemove --window "$top" $((345 + 20 * i)) $((380 - 10 * i)) sleep 0.05; done
  sleep 0.3
  kill -9 "$XVFB_PID"
  wait $!
  ! cmp -s "$XDG_STATE_HOME"/mannequin/*.pose "$dir/pinned" || { echo "FAIL (drag): the drag was lost" >&2; exit 1; }
  echo "PASS (drag)"
  exit 0
fi
run=(-ex "run --png $dir/out.png $pose 2>$dir/err")
# The query's name is its third argument (x86-64).
stop=(-ex 'break xcb_query_extension if $_memeq($rdx, "MIT-SHM", 7)' "${run[@]}")
[[ $when == setup ]] || stop=(-ex 'break renameat' "${run[@]}" -ex finish)
# The fault that a lost reply brings in GL goes to the program's handler.
gdb -q -batch -iex 'set auto-load off' -iex 'set debuginfod enabled off' -ex 'set breakpoint pending on' \
  -ex 'handle SIGSEGV SIGPIPE nostop noprint pass' "${stop[@]}" -ex "shell kill -9 $XVFB_PID" -ex continue \
  -ex 'printf "status %d\n", $_exitcode' --args "$program" >"$dir/gdb" 2>&1
said=$(cat "$dir/err") status=$(sed -n 's/^status //p' "$dir/gdb")
expected="1 mannequin: --png: the connection to the display was lost; no picture was written|err gdb"
[[ $when == setup ]] || expected="0 |err gdb out.png"
outcome="$status $said|$(ls "$dir" | xargs)"
if ! grep -q "Breakpoint 1, " "$dir/gdb" || [[ $outcome != "$expected" ]]; then
  echo "FAIL ($when): $outcome, not $expected" >&2
  cat "$dir/gdb" >&2
  exit 1
fi
[[ $when == setup ]] || "$program" --bvh "$dir/out.png" >/dev/null || exit 1
echo "PASS ($when)"
