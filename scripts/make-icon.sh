#!/usr/bin/env bash
# Makes the program's icons with the program itself: data/icon.pose drawn
# from the front on a transparent background by mannequin --png, on an X
# server of its own, then cut to a square around the figure and scaled to
# each size. The PNGs are kept in the tree so that building and installing
# need no X server; run this again when the figure's look changes, and
# commit the results.
# Usage: scripts/make-icon.sh [BINARY]   (BINARY: build/mannequin)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/data/icons"
sizes=(48 128 256)
bin=${1:-$root/build/mannequin}
[[ -x $bin ]] || { echo "make-icon: no program at $bin (build it first)" >&2; exit 1; }

# By full path: the first convert on PATH may be something else.
convert=/usr/bin/convert
[[ -x $convert ]] || { echo "make-icon: $convert not found (ImageMagick; see scripts/install-deps.sh)" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Large, so that the scaled icons are smooth at every size.
"$root/tests/run-with-xvfb.sh" "$bin" --png "$tmp/figure.png" --view front --scale 4 --background transparent \
  "$root/data/icon.pose"

# The figure's box, from its opaque pixels, in a square a little larger.
"$convert" "$tmp/figure.png" -trim +repage "$tmp/trimmed.png"
read -r w h <<<"$("$convert" "$tmp/trimmed.png" -format '%w %h' info:)"
side=$(((w > h ? w : h) * 106 / 100))
"$convert" "$tmp/trimmed.png" -background none -gravity center -extent "${side}x${side}" "$tmp/square.png"

mkdir -p "$out"
for s in "${sizes[@]}"; do
  # No time stamps in the file: the same picture gives the same bytes.
  # -strip also drops the pose the program's picture carries: an icon is no
  # pose library picture, and nothing reads a pose from it.
  "$convert" "$tmp/square.png" -resize "${s}x${s}" -strip \
    -define png:exclude-chunks=date,time "PNG32:$out/mannequin-$s.png"
  echo "make-icon: $out/mannequin-$s.png (${s}x${s}, from a figure of ${w}x${h} pixels)"
done
