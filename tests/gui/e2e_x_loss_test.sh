#!/usr/bin/env bash
# --png with its display lost, through x_cut, which cuts the connection at
# the same point of the program's requests however busy the machine is:
# during the set-up (at GL's first question to the server, about MIT-SHM)
# --png says so in one line, exits with 1 and writes nothing; once the
# picture is written whole, it exits with 0.
# Usage: e2e_x_loss_test.sh MANNEQUIN X_CUT POSE
set -uo pipefail
program=$1 cut=$2 pose=$3
dir=$(mktemp -d "${TMPDIR:-/tmp}/mannequin-xloss.XXXXXX")
cutter=
cleanup() {
  [[ -n $cutter ]] && kill "$cutter" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Draws through a cutter started with these arguments; sets status.
drawThroughCut() {
  rm -f "$dir/number"
  "$cut" "$@" >"$dir/number" &
  cutter=$!
  for _ in $(seq 250); do [[ -s $dir/number ]] && break; sleep 0.02; done
  [[ -s $dir/number ]] || fail "x_cut did not start"
  DISPLAY=":$(cat "$dir/number")" timeout 60 "$program" --png "$dir/out.png" "$pose" 2>"$dir/err"
  status=$?
  kill "$cutter" 2>/dev/null
  wait "$cutter" 2>/dev/null
  cutter=
}

drawThroughCut MIT-SHM
[[ $status == 1 ]] || fail "cut in the set-up: status $status, not 1: $(cat "$dir/err")"
[[ $(cat "$dir/err") == "mannequin: --png: the connection to the display was lost; no picture was written" ]] ||
  fail "cut in the set-up: printed $(cat "$dir/err")"
[[ $(ls "$dir") == $'err\nnumber' ]] || fail "cut in the set-up: wrote $(ls "$dir")"

drawThroughCut --after "$dir/out.png"
[[ $status == 0 ]] || fail "cut once written: status $status, not 0: $(cat "$dir/err")"
[[ ! -s $dir/err ]] || fail "cut once written: printed $(cat "$dir/err")"
[[ $(tail -c 8 "$dir/out.png" | head -c 4) == IEND ]] || fail "the picture is not whole"
"$program" --bvh "$dir/out.png" >/dev/null || fail "the picture holds no pose"
echo "PASS"
