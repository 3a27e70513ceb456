#!/usr/bin/env bash
# Saves a picture of the program's window, with two handles pinned on the
# figure, to OUT.png. Runs the program on an X server of its own, so it
# works without a display and beside other sessions.
#
# Usage: scripts/screenshot.sh OUT.png [BINARY]   (BINARY: build/mannequin)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if [[ $# -lt 1 || $# -gt 2 || "$1" == -* ]]; then
  echo "usage: $0 OUT.png [BINARY]" >&2
  exit 2
fi

if [[ -z "${MANNEQUIN_SCREENSHOT_SERVER:-}" ]]; then
  out_dir=$(cd "$(dirname "$1")" 2>/dev/null && pwd) || {
    echo "screenshot: no directory for $1" >&2
    exit 1
  }
  out="$out_dir/$(basename "$1")"
  bin=${2:-$root/build/mannequin}
  [[ "$bin" == */* ]] || bin=$(command -v "$bin" || echo "$bin")
  [[ -x "$bin" ]] || {
    echo "screenshot: no program at $bin (build it first)" >&2
    exit 1
  }
  bin=$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")
  MANNEQUIN_SCREENSHOT_SERVER=1 exec "$root/tests/run-with-xvfb.sh" "$0" "$out" "$bin"
fi

# ---- from here on, DISPLAY is the private server
out=$1
bin=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/mannequin-shot.XXXXXX")
pid=
finish() {
  if [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap finish EXIT

fail() {
  echo "screenshot: $*" >&2
  exit 1
}
xdo() { timeout 5 xdotool "$@"; }
shot() { timeout 10 /usr/bin/import -window "$top" "$1"; }
pixels() { /usr/bin/convert "$1" -alpha off -depth 8 rgb:- | od -An -v -tu1 -w3; }

# Pixels of the lit figure whose neighbourhood is all figure too, so that a
# click there surely lands on the body: the one nearest the figure's middle
# and the one nearest a spot a quarter of its height lower (a thigh).
body_points() {
  pixels "$1" | awk -v w=694 '
    function magenta(r, g, b) { return r > 20 && b > 20 && 2 * g < r && r - b < 8 && b - r < 8 }
    { i = NR - 1
      if (magenta($1, $2, $3)) {
        m[i] = 1; n++; x = i % w; y = int(i / w); sx += x; sy += y
        if (n == 1 || y < top) top = y
        if (n == 1 || y > bottom) bottom = y
      } }
    END {
      if (n < 1000) exit 1
      cx = sx / n; cy = sy / n; lower = cy + (bottom - top) / 4; a = -1; b = -1
      for (i in m) {
        x = i % w; y = int(i / w); inside = 1
        for (dy = -2; dy <= 2 && inside; dy++)
          for (dx = -2; dx <= 2; dx++) if (!((i + dy * w + dx) in m)) { inside = 0; break }
        if (!inside) continue
        d = (x - cx) ^ 2 + (y - cy) ^ 2
        if (a < 0 || d < a) { a = d; ax = x; ay = y }
        d = (x - cx - 10) ^ 2 + (y - lower) ^ 2
        if (b < 0 || d < b) { b = d; bx = x; by = y }
      }
      if (a < 0) exit 1
      print ax, ay; print bx, by
    }'
}

"$bin" >/dev/null 2>"$work/stderr.txt" &
pid=$!
top=
for _ in $(seq 500); do
  top=$(xdo search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1 || true)
  [[ -n "$top" ]] && break
  kill -0 "$pid" 2>/dev/null || fail "the program exited: $(cat "$work/stderr.txt")"
  sleep 0.02
done
[[ -n "$top" ]] || fail "no window within 10 s"

# The first frame is there once the figure shows.
points=
for _ in $(seq 100); do
  shot "$work/first.png"
  points=$(body_points "$work/first.png" || true)
  [[ -n "$points" ]] && break
  sleep 0.05
done
[[ -n "$points" ]] || fail "the figure never showed"

# A press and, a moment later, a release: the pick runs at the frame between.
while read -r x y; do
  xdo mousemove --window "$top" "$x" "$y"
  xdo mousedown 1
  sleep 0.1
  xdo mouseup 1
done <<<"$points"

# Wait for the frame that shows a green point at every pin.
greens() {
  pixels "$1" | awk -v w=694 -v pts="$points" '
    BEGIN { n = split(pts, p, /[ \n]+/) }
    { i = NR - 1
      if ($2 > 20 && $1 < 8 && $3 < 8)
        for (k = 1; k < n; k += 2)
          if ((i % w - p[k]) ^ 2 <= 9 && (int(i / w) - p[k + 1]) ^ 2 <= 9) seen[k] = 1 }
    END { c = 0; for (k in seen) c++; print c }'
}
pins=$(wc -l <<<"$points")
for _ in $(seq 40); do
  sleep 0.05
  shot "$work/final.png"
  (($(greens "$work/final.png") == pins)) && break
done
(($(greens "$work/final.png") == pins)) || echo "screenshot: not every click pinned a handle" >&2
# No time stamps or other metadata: the same picture gives the same file.
/usr/bin/convert "$work/final.png" -strip "$out"

# Close the window as a window manager would, if the helper is at hand.
closer=
for c in "$(dirname "$bin")/tests/gui/wm_close" "$root/build/tests/gui/wm_close" "$(command -v wm_close || true)"; do
  [[ -n "$c" && -x "$c" ]] && closer=$c && break
done
if [[ -n "$closer" ]] && "$closer" "$top"; then
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.02
  done
fi
echo "screenshot: wrote $out"
