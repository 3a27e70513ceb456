#!/usr/bin/env bash
# Saves a picture of the program's window at its first start to OUT.png: what
# a person sees first. With CLAY.png, the same window after `v`, in the clay
# look, then `v` again. With ANIMATION.gif (which may be given as '' to skip it) it then drives the program as a
# person would present it: the camera turned, panned and zoomed so that the
# whole figure is in view, handles pinned on the hands, the head and the
# feet, and a pose made by dragging them; the frames of the first drag are
# the animated picture. Runs the program on an X server of its own, so it
# works without a display and beside other sessions.
#
# Usage: scripts/screenshot.sh OUT.png [BINARY [ANIMATION.gif [CLAY.png]]]
#        (BINARY: build/mannequin)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if [[ $# -lt 1 || $# -gt 4 || "$1" == -* ]]; then
  echo "usage: $0 OUT.png [BINARY [ANIMATION.gif [CLAY.png]]]" >&2
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
  animation=
  if [[ -n "${3:-}" ]]; then
    animation=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
  fi
  clay=
  if [[ -n "${4:-}" ]]; then
    clay=$(cd "$(dirname "$4")" && pwd)/$(basename "$4")
  fi
  MANNEQUIN_SCREENSHOT_SERVER=1 exec "$root/tests/run-with-xvfb.sh" "$0" "$out" "$bin" "$animation" "$clay"
fi

# ---- from here on, DISPLAY is the private server
out=$1
bin=$2
animation=${3:-}
clay=${4:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/mannequin-shot.XXXXXX")
# The posed figure's recovery copy, left by the end below, stays in here.
export XDG_STATE_HOME="$work/state"
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
# click there surely lands on the body, at the figure's ends: the outermost
# such pixel to the right, to the left, at the top, and at the bottom on
# either side of the figure's middle (hands, head, feet), one "x y" a line.
body_ends() {
  pixels "$1" | awk -v w=694 '
    function magenta(r, g, b) { return r > 20 && b > 20 && 2 * g < r && r - b < 8 && b - r < 8 }
    { i = NR - 1; if (magenta($1, $2, $3)) { m[i] = 1; n++; sx += i % w } }
    END {
      if (n < 1000) exit 1
      cx = sx / n
      for (i in m) {
        inside = 1
        for (dy = -2; dy <= 2 && inside; dy++)
          for (dx = -2; dx <= 2; dx++) if (!((i + dy * w + dx) in m)) { inside = 0; break }
        if (!inside) continue
        x = i % w; y = int(i / w)
        if (!r || x > rx) { r = 1; rx = x; ry = y }
        if (!l || x < lx) { l = 1; lx = x; ly = y }
        if (!t || y < ty) { t = 1; tx = x; ty = y }
        if (x < cx - 5 && (!f || y > fy)) { f = 1; fx = x; fy = y }
        if (x > cx + 5 && (!g || y > gy)) { g = 1; gx = x; gy = y }
      }
      if (!(r && l && t && f && g)) exit 1
      print rx, ry; print lx, ly; print tx, ty; print fx, fy; print gx, gy
    }'
}

# Green handle points within 3 pixels of each of the given "x y" lines.
greens() {
  pixels "$1" | awk -v w=694 -v pts="$2" '
    BEGIN { n = split(pts, p, /[ \n]+/) }
    { i = NR - 1
      if ($2 > 20 && $1 < 8 && $3 < 8)
        for (k = 1; k < n; k += 2)
          if ((i % w - p[k]) ^ 2 <= 9 && (int(i / w) - p[k + 1]) ^ 2 <= 9) seen[k] = 1 }
    END { c = 0; for (k in seen) c++; print c }'
}

# A drag with Shift and the given button (1 rotate, 2 pan, 3 zoom), in steps.
camera() {
  local button=$1 x=$2 y=$3 dx=$4 dy=$5 steps=10 i
  xdo mousemove --window "$top" "$x" "$y"
  xdo keydown shift mousedown "$button"
  for ((i = 1; i <= steps; i++)); do
    xdo mousemove --window "$top" $((x + dx * i / steps)) $((y + dy * i / steps))
  done
  xdo mouseup "$button" keyup shift
}

# Drags from (x, y) by (dx, dy) in the given number of steps; with a file
# prefix, saves a picture after every step.
drag() {
  local x=$1 y=$2 dx=$3 dy=$4 steps=$5 frames=${6:-} i
  xdo mousemove --window "$top" "$x" "$y"
  xdo mousedown 1
  sleep 0.1
  for ((i = 1; i <= steps; i++)); do
    xdo mousemove --window "$top" $((x + dx * i / steps)) $((y + dy * i / steps))
    if [[ -n "$frames" ]]; then
      sleep 0.05
      shot "$work/$frames-$(printf %03d "$i").png"
    fi
  done
  xdo mouseup 1
  sleep 0.1
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
for _ in $(seq 100); do
  shot "$work/first.png"
  body_ends "$work/first.png" >/dev/null 2>&1 && break
  sleep 0.05
done
body_ends "$work/first.png" >/dev/null || fail "the figure never showed"
# The first frame is whole once two pictures in a row agree.
for _ in $(seq 40); do
  sleep 0.05
  shot "$work/again.png"
  cmp -s "$work/first.png" "$work/again.png" && break
  mv "$work/again.png" "$work/first.png"
done
# No time stamps or other metadata: the same picture gives the same file.
/usr/bin/convert "$work/first.png" -strip "$out"
echo "screenshot: wrote $out"

# The clay look: v, with the pointer in the view, until the frame has
# changed and settled; then v again, back to the first frame.
settled() {
  for _ in $(seq 40); do
    sleep 0.05
    shot "$work/again.png"
    cmp -s "$1" "$work/again.png" && return 0
    mv "$work/again.png" "$1"
  done
}
if [[ -n "$clay" ]]; then
  xdo key v
  for _ in $(seq 100); do
    shot "$work/clay.png"
    cmp -s "$work/first.png" "$work/clay.png" || break
    sleep 0.05
  done
  settled "$work/clay.png"
  cmp -s "$work/first.png" "$work/clay.png" && fail "v changed nothing"
  /usr/bin/convert "$work/clay.png" -strip "$clay"
  echo "screenshot: wrote $clay"
  xdo key v
  for _ in $(seq 100); do
    sleep 0.05
    shot "$work/back.png"
    cmp -s "$work/first.png" "$work/back.png" && break
  done
fi
[[ -n "$animation" ]] || exit 0

# The camera: a quarter turn's worth less than square-on, the figure moved
# down into the middle of the view, and a step back.
camera 1 347 400 60 0
camera 2 347 150 0 230
camera 3 347 300 0 -60
sleep 0.2
shot "$work/framed.png"
ends=$(body_ends "$work/framed.png") || fail "the framed figure shows no ends to pin"

# A press and, a moment later, a release on each end: the pick runs at the
# frame between. Then wait for the frame that shows a green point at each.
while read -r x y; do
  xdo mousemove --window "$top" "$x" "$y"
  xdo mousedown 1
  sleep 0.1
  xdo mouseup 1
done <<<"$ends"
pins=$(wc -l <<<"$ends")
for _ in $(seq 40); do
  sleep 0.05
  shot "$work/pinned.png"
  (($(greens "$work/pinned.png" "$ends") == pins)) && break
done
(($(greens "$work/pinned.png" "$ends") == pins)) || echo "screenshot: not every click pinned a handle" >&2

# The animation: the right-hand end raised high, the other ends pinned.
read -r rx ry _ <<<"$(tr '\n' ' ' <<<"$ends")"
drag "$rx" "$ry" 30 -200 36 anim
# Half size, a shared palette and only the changed parts of each frame: a
# few hundred kilobytes.
/usr/bin/convert -delay 8 -loop 0 "$work"/anim-*.png -resize 50% +dither -colors 64 \
  -layers Optimize -strip "$animation"
echo "screenshot: wrote $animation ($(stat -c %s "$animation") bytes)"

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
