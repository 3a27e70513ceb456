#!/usr/bin/env bash
# Makes the program's icons from a screenshot of its own window: a square
# around the figure, scaled to each size. The PNGs are kept in the tree so
# that building and installing need no X server; run this again when the
# figure's look changes, and commit the results.
# Usage: scripts/make-icon.sh [BINARY]   (BINARY is passed to screenshot.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/data/icons"
sizes=(48 128 256)

# By full path: the first convert on PATH may be something else.
convert=/usr/bin/convert
if [[ ! -x $convert ]]; then
  echo "make-icon: $convert not found (ImageMagick; see scripts/install-deps.sh)" >&2
  exit 1
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$root/scripts/screenshot.sh" "$tmp/shot.png" "$@"

# The GL view fills the window but for a thin frame at the right and the
# bottom; keep only the view so that the frame does not count as figure.
"$convert" "$tmp/shot.png" -crop 690x665+0+0 +repage "$tmp/view.png"

# Bounding box of everything that is not the black background. The black
# border makes sure that trimming takes black as the background even when
# the figure touches an edge.
bbox=$("$convert" "$tmp/view.png" -bordercolor black -border 1 -fuzz 8% -format '%@' info:)
if [[ ! $bbox =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]]; then
  echo "make-icon: cannot find the figure in the screenshot (bounding box '$bbox')" >&2
  exit 1
fi
w=${BASH_REMATCH[1]} h=${BASH_REMATCH[2]}
x=$((BASH_REMATCH[3] - 1)) y=$((BASH_REMATCH[4] - 1))
((x < 0)) && { w=$((w + x)); x=0; }
((y < 0)) && { h=$((h + y)); y=0; }
if ((w < 40 || h < 40 || (w >= 680 && h >= 655))); then
  echo "make-icon: the screenshot does not look like the figure on its background (${w}x${h}+${x}+${y})" >&2
  exit 1
fi

# A square a little larger than the figure, centred on it, with the
# background made transparent so that the icon sits on any panel.
side=$(((w > h ? w : h) * 108 / 100))
"$convert" "$tmp/view.png" -crop "${w}x${h}+${x}+${y}" +repage \
  -fuzz 8% -transparent black \
  -background none -gravity center -extent "${side}x${side}" "$tmp/square.png"

mkdir -p "$out"
for s in "${sizes[@]}"; do
  # No time stamps in the file: the same picture gives the same bytes.
  "$convert" "$tmp/square.png" -resize "${s}x${s}" -strip \
    -define png:exclude-chunks=date,time "PNG32:$out/mannequin-$s.png"
  echo "make-icon: $out/mannequin-$s.png (${s}x${s}, figure ${w}x${h}+${x}+${y} in the view)"
done
