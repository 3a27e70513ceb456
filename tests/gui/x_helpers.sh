# Helpers of the scripts that drive the real program through the X server.
# The caller sets script_name (its lines' prefix), bin (the program), wm_close
# and W (the screenshots' width, default 694); start_work and start_program
# set work, out, err, pid, top (the window) and gl (its view). xdo_timeout and
# shot_timeout (seconds, default 10) bound an xdotool call and a screenshot.
set -Eeuo pipefail
trap 'echo "$script_name: FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR

# start_work NAME: a scratch folder (work, with out and err), removed at the
# exit once the script passed, and the program ended.
start_work() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/mannequin-$1.XXXXXX")
  out=$work/stdout.txt
  err=$work/stderr.txt
  pid=
  passed=0
  trap finish_work EXIT
}
finish_work() {
  if [[ -n "$pid" ]] && running; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  if ((passed)); then
    rm -rf "$work"
  else
    echo "$script_name: screenshots and output kept in $work" >&2
  fi
}

# A line of the script's; a failure, with what its context function prints.
note() { echo "$script_name: $*"; }
fail() {
  local where=""
  if declare -F context >/dev/null; then where=" ($(context))"; fi
  echo "$script_name: FAIL$where: $*" >&2
  exit 1
}

# xdotool can wait forever (mousemove --sync onto the pointer's own spot).
xdo() { timeout "${xdo_timeout:-10}" xdotool "$@"; }

# poll TRIES PAUSE COMMAND...: COMMAND until it succeeds, TRIES times at most.
poll() {
  local tries=$1 pause=$2 i
  shift 2
  for ((i = 0; i < tries; i++)); do
    "$@" && return 0
    sleep "$pause"
  done
  return 1
}

# ---- screenshots and pixels

shot() { timeout "${shot_timeout:-10}" /usr/bin/import -window "$top" "$work/$1.png"; }

# One "r g b" line per pixel, row by row.
pixels() { /usr/bin/convert "$1" -alpha off -depth 8 rgb:- | od -An -v -tu1 -w3; }

# The colour classes: the lit figure and the handle points.
classes='
function magenta(r, g, b) { return r > 20 && b > 20 && 2 * g < r && r - b < 8 && b - r < 8 }
function green(r, g, b) { return g > 20 && r < 8 && b < 8 }
'

magenta_count() { pixels "$1" | awk "$classes"'{ if (magenta($1, $2, $3)) n++ } END { print n + 0 }'; }

# How many pixels differ in class (magenta or not) between two screenshots.
magenta_changes() {
  paste -d' ' <(pixels "$1") <(pixels "$2") | awk "$classes"'
    { if (magenta($1, $2, $3) != magenta($4, $5, $6)) n++ } END { print n + 0 }'
}

# "x y" of the magenta pixel nearest the figure's middle whose whole
# neighbourhood is magenta too, so that a click there surely hits the body.
body_point() {
  pixels "$1" | awk -v w="${W:-694}" "$classes"'
    { i = NR - 1; if (magenta($1, $2, $3)) { m[i] = 1; n++; sx += i % w; sy += int(i / w) } }
    END {
      if (!n) { print "-1 -1"; exit }
      cx = sx / n; cy = sy / n; best = -1
      for (i in m) {
        x = i % w; y = int(i / w); d = (x - cx) ^ 2 + (y - cy) ^ 2
        if (best >= 0 && d >= best) continue
        inside = 1
        for (dy = -3; dy <= 3 && inside; dy++)
          for (dx = -3; dx <= 3; dx++) if (!((i + dy * w + dx) in m)) { inside = 0; break }
        if (inside) { best = d; bx = x; by = y }
      }
      if (best < 0) print "-1 -1"; else print bx, by
    }'
}

# settle NAME [TRIES]: once the program is idle (a starved one has not drawn
# yet), screenshots until two in a row agree, TRIES (settle_tries, 40) at
# most, with the pointer, which lights what it is over, in an empty corner.
settle() {
  local name=$1 tries=${2:-${settle_tries:-40}} previous="" current X Y
  if [[ -n "${gl:-}" ]]; then
    eval "$(xdo getmouselocation --shell)"
    xdo mousemove --window "$gl" 20 640
  fi
  idle_within $((tries * 10)) "$err" "$((tries / 2)) s before the screenshot $name"
  for _ in $(seq "$tries"); do
    sleep 0.05
    shot "$name"
    current=$(pixels "$work/$name.png" | md5sum)
    if [[ "$current" == "$previous" ]]; then
      [[ -z "${gl:-}" ]] || xdo mousemove "$X" "$Y"
      return 0
    fi
    previous=$current
  done
  fail "the window kept changing ($name)"
}

# same_as NAME EXPECTED WHAT: the screenshots are equal; WHAT led to NAME.
same_as() {
  local d
  d=$(differing_pixels "$work/$1.png" "$work/$2.png")
  [[ "$d" == 0 ]] || fail "$3: $d pixels differ from '$2'"
  note "$3: the picture equals '$2'"
}

# Pixels that differ in any way between two screenshots.
differing_pixels() { /usr/bin/compare -metric AE "$1" "$2" null: 2>&1 || true; }

trace_lines() { grep -c '^\[' "$out" || true; }

# ---- the program's process

running() { kill -0 "$pid" 2>/dev/null; }
ended() { ! running; }
alive() { running || fail "the program exited early: $(tail -n 20 "$err")"; }

# start_program ARGS...: $bin with ARGS, its output in out and err; finds its
# window (top) and view (gl, the 690x665 child at (0, 0)) within window_tries
# (500) and view_tries (100) looks.
start_program() {
  "$bin" "$@" >"$out" 2>"$err" &
  pid=$!
  top= gl=
  poll "${window_tries:-500}" 0.02 found_window || fail "no visible window"
  poll "${view_tries:-100}" 0.02 found_view || fail "no 690x665 view at (0, 0) inside the window"
}
found_window() {
  alive
  top=$(xdo search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1 || true)
  [[ -n "$top" ]]
}
found_view() {
  alive
  gl=$(timeout "${xdo_timeout:-10}" xwininfo -children -id "$top" 2>/dev/null |
    awk '$1 ~ /^0x/ && / 690x665\+0\+0 / { print $1; exit }' || true)
  [[ -n "$gl" ]]
}

# wait_exit WHAT [SECONDS]: the program's end within SECONDS (5), its status
# in status.
wait_exit() {
  poll $((${2:-5} * 50)) 0.02 ended || fail "the program still runs ${2:-5} s after $1"
  status=0
  wait "$pid" || status=$?
  pid=
}

# wait_figure NAME [TRIES]: screenshots NAME until the figure shows.
wait_figure() {
  poll "${2:-100}" 0.05 figure_shown "$1" || fail "no figure on screen"
}
figure_shown() {
  alive
  shot "$1" && (($(magenta_count "$work/$1.png") > 5000))
}

# ticks: the program's processor time, or "busy" while a thread of it runs
# or waits for a processor (a starved program uses no time either); false
# once it is gone. Builtins only: it runs every 0.05 s on a busy machine.
read_ticks() {
  local stat state task
  read -r stat 2>/dev/null <"/proc/$pid/stat" || return 1
  for task in /proc/"$pid"/task/*/stat; do
    read -r state 2>/dev/null <"$task" || continue
    state=${state##*) }
    [[ $state == R* ]] && { ticks=busy; return 0; }
  done
  stat=${stat##*) }
  read -r _ _ _ _ _ _ _ _ _ _ _ utime stime _ <<<"$stat"
  ticks=$((utime + stime))
}

# idle_within TRIES LOG WHAT: once the program has used no processor for
# 0.15 s, having handled all input and drawn; fails after TRIES looks 0.05 s
# apart, or quoting LOG when it is gone.
idle_within() {
  local tries=$1 log_file=$2 what=$3 last same=0 ticks
  read_ticks || fail "the program is gone: $(tail -n 20 "$log_file")"
  last=$ticks
  for _ in $(seq "$tries"); do
    sleep 0.05
    read_ticks || fail "the program is gone: $(tail -n 20 "$log_file")"
    if [[ $ticks == "$last" && $ticks != busy ]]; then
      same=$((same + 1))
      ((same >= 3)) && return 0
    else
      same=0
    fi
    last=$ticks
  done
  fail "the program stayed busy for $what"
}

# ---- the window and the program's other windows

# expect_title TITLE WHAT: the title, as a desktop reads it, is TITLE within
# ten seconds, or begins with it when TITLE ends in "- " (a message follows,
# for five seconds), or ends with it when TITLE begins with "... ".
expect_title() {
  poll 500 0.02 title_is "$1" "$2" || fail "$2: the title is '$title', not '$1'"
  note "$2: '$title'"
}
title_is() {
  running || fail "$2: the program ended"
  title=$(timeout 5 xprop -id "$top" -notype _NET_WM_NAME 2>/dev/null |
    sed -n 's/^_NET_WM_NAME = "\(.*\)"$/\1/p' | sed 's/\\"/"/g' || true)
  [[ "$title" == "$1" || ("$1" == *"- " && "$title" == "$1"*) || ("$1" == "... "* && "$title" == *"${1#... }") ]]
}

# named NAME: the program's first window named NAME, or false.
named() { xdo search --all --onlyvisible --pid "$pid" --name "^$1\$" 2>/dev/null | head -n 1 | grep .; }

# The program's window named NAME, within five seconds.
window_named() { poll 250 0.02 named "$1" || fail "no window '$1'"; }

# gone_named NAME: waits up to 20 s for the program's windows named NAME to go.
gone_named() { poll 1000 0.02 none_named "$1" || fail "the window '$1' still shows 20 s later"; }
none_named() { ! named "$1" >/dev/null; }

# act_on WINDOW XDOTOOL-COMMANDS...: focuses the window, moves the pointer
# into it and runs the commands. False, quietly, when the window went between
# finding and acting (BadWindow): no failure, the caller looks again.
act_on() {
  local w=$1
  shift
  xdo windowfocus "$w" mousemove --window "$w" 20 20 "$@" 2>/dev/null
}

# act_on_named NAME XDOTOOL-COMMANDS...: act_on the window named NAME.
act_on_named() {
  local w
  for _ in $(seq 20); do
    w=$(window_named "$1")
    act_on "$w" "${@:2}" && return 0
  done
  fail "'$1' went 20 times before it took ${*:2}"
}

# answer NAME KEYS...: KEYS into the window named NAME, which then goes.
answer() {
  act_on_named "$1" key "${@:2}"
  gone_named "$1"
}

# copy_to FILE: Ctrl+C, and the clipboard's text in FILE once it has an owner.
copy_to() {
  xdo key ctrl+c
  poll 200 0.05 clipboard_into "$1" && [[ -s "$1" ]] || fail "nothing on the clipboard 10 s after Ctrl+C"
}
clipboard_into() { timeout 5 xclip -o -selection clipboard >"$1" 2>/dev/null; }

# close_window [SECONDS]: WM_DELETE_WINDOW, as a window manager sends it, and
# Discard to every question, then wait_exit.
close_window() {
  "$wm_close" "$top" || ! running || fail "could not send WM_DELETE_WINDOW"
  local ask end=$((SECONDS + ${1:-5}))
  while ((SECONDS < end)) && running; do
    # A question that goes before it takes the key was answered already.
    ask=$(named mannequin) && act_on "$ask" key d || true
    sleep 0.1
  done
  wait_exit "the close request" 1
}

# ---- gestures

# pose_two_handles NAME: pins the figure's middle in screenshot NAME (ax, ay)
# and 25 px left, 60 px below (screenshot pinned), and drags the first up and
# right (screenshot posed).
pose_two_handles() {
  read -r ax ay < <(body_point "$work/$1.png")
  ((ax >= 0)) || fail "no point well inside the figure"
  xdo mousemove --window "$gl" "$ax" "$ay" mousedown 1 sleep 0.1 mouseup 1 \
    mousemove --window "$gl" $((ax - 25)) $((ay + 60)) mousedown 1 sleep 0.1 mouseup 1
  settle pinned
  xdo mousemove --window "$gl" "$ax" "$ay" mousedown 1
  for i in $(seq 10); do
    xdo mousemove --window "$gl" $((ax + 4 * i)) $((ay - 5 * i)) sleep 0.03
  done
  xdo mouseup 1 mousemove --window "$gl" 20 640
  settle posed
  (($(magenta_changes "$work/$1.png" "$work/posed.png") > 300)) || fail "the drag changed too few pixels"
}
