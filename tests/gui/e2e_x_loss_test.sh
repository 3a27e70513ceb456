#!/usr/bin/env bash
# --png with its X server killed at a fixed point, held there by gdb however
# busy the machine is: at GL's first question about MIT-SHM during the
# set-up, --png says so in one line, exits with 1 and writes nothing; once
# the picture is renamed into place, whole, it exits with 0.
# Usage: e2e_x_loss_test.sh MANNEQUIN POSE setup|written, under run-with-xvfb.sh
set -uo pipefail
program=$1 pose=$2 when=$3
dir=$(mktemp -d "${TMPDIR:-/tmp}/mannequin-xloss.XXXXXX")
trap 'rm -rf "$dir"' EXIT
fail() {
  echo "FAIL ($when): $*" >&2
  exit 1
}

run=(-ex "run --png $dir/out.png $pose 2>$dir/err")
if [[ $when == setup ]]; then
  # The query's name is its third argument (x86-64).
  stop=(-ex 'break xcb_query_extension if $_memeq($rdx, "MIT-SHM", 7)' "${run[@]}")
else
  stop=(-ex 'break renameat' "${run[@]}" -ex finish)
fi
# The fault that a lost reply brings in GL goes to the program's handler.
gdb -q -batch -iex 'set auto-load off' -iex 'set debuginfod enabled off' -ex 'set breakpoint pending on' \
  -ex 'handle SIGSEGV SIGPIPE nostop noprint pass' "${stop[@]}" \
  -ex "shell kill -9 $XVFB_PID" -ex continue \
  -ex 'printf "status %d\n", $_exitcode' --args "$program" >"$dir/gdb" 2>&1
status=$(sed -n 's/^status //p' "$dir/gdb")
grep -q "Breakpoint 1, " "$dir/gdb" || fail "never stopped where the server is to be killed"
if [[ $when == setup ]]; then
  [[ $status == 1 ]] || fail "status '$status', not 1: $(cat "$dir/err" "$dir/gdb")"
  [[ $(cat "$dir/err") == "mannequin: --png: the connection to the display was lost; no picture was written" ]] ||
    fail "printed $(cat "$dir/err")"
  [[ $(ls "$dir") == $'err\ngdb' ]] || fail "wrote $(ls "$dir")"
else
  [[ $status == 0 && ! -s $dir/err ]] || fail "status '$status', not 0: $(cat "$dir/err" "$dir/gdb")"
  "$program" --bvh "$dir/out.png" >/dev/null || fail "the picture holds no pose"
fi
echo "PASS ($when)"
