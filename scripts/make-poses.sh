#!/usr/bin/env bash
# Draws the pose library's pictures with the program itself: every
# data/poses/NAME.pose becomes data/poses/NAME.png, the program's square
# thumbnail of it (framed whole from the front, transparent), on an X server
# of its own. The pictures are the program's own files, untouched: each
# carries its pose, which is what the library reads, so nothing here may
# re-encode or strip them. The same pose gives the same bytes. Run this
# again when a pose or the figure's look changes.
# Usage: scripts/make-poses.sh [BINARY]   (BINARY: build/mannequin)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir="$root/data/poses"
bin=${1:-$root/build/mannequin}
[[ -x $bin ]] || { echo "make-poses: no program at $bin (build it first)" >&2; exit 1; }
# Read whole first: grep -q ending the pipe early would fail it under pipefail.
help=$("$bin" --help)
grep -q -- --thumbnail <<<"$help" || { echo "make-poses: $bin has no --thumbnail option to draw the pictures with" >&2; exit 1; }

shopt -s nullglob
poses=("$dir"/*.pose)
((${#poses[@]})) || { echo "make-poses: no poses in $dir" >&2; exit 1; }

# One server for them all.
"$root/tests/run-with-xvfb.sh" bash -c '
  bin=$1
  shift
  for pose; do "$bin" "$pose" --png "${pose%.pose}.png" --thumbnail || exit 1; done
' make-poses "$bin" "${poses[@]}"

# Each picture, read back, gives its pose file exactly.
for pose in "${poses[@]}"; do
  out=${pose%.pose}.png
  "$bin" --pose "$out" | cmp -s - "$pose" || { echo "make-poses: $out does not carry the pose of $pose" >&2; exit 1; }
  echo "make-poses: $out"
done
