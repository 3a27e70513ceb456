# Helpers shared by the scripts that drive the real program through the X
# server (tests/gui/e2e_*.sh, tests/gui/package_arm64_session.sh). Source it;
# it runs nothing by itself.
#
# The caller sets script_name (its prefix on every line it prints), bin (the
# program), wm_close (the tool that sends WM_DELETE_WINDOW) and, for
# body_point, W (the screenshots' width, default 694); start_work and
# start_program set work, out, err, pid, top (the window) and gl (its view).
# xdo_timeout and shot_timeout (seconds, default 10) bound a call of xdotool
# and a screenshot.

# start_work NAME: a scratch folder for the screenshots and the program's
# output (work, out, err), and an exit trap that ends the program and removes
# the folder, or keeps it and says where when the script did not pass.
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

# A line of the script's own; a failure, with what the script's context
# function prints (if it has one) in brackets, ends it.
note() { echo "$script_name: $*"; }
fail() {
  local where=""
  if declare -F context >/dev/null; then where=" ($(context))"; fi
  echo "$script_name: FAIL$where: $*" >&2
  exit 1
}

# xdotool can wait forever (mousemove --sync onto the pointer's own spot).
xdo() { timeout "${xdo_timeout:-10}" xdotool "$@"; }

# poll TRIES PAUSE COMMAND...: runs COMMAND until it succeeds, TRIES times
# PAUSE seconds apart at most; false if it never did.
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

# settle NAME [TRIES]: once the program is idle (a program starved of the
# processor has not drawn yet, and two screenshots of the old picture agree
# too), screenshots until two in a row agree, TRIES at most (default
# settle_tries, or 40). The part under the pointer is shown lit: the pointer
# waits in the view's empty corner meanwhile.
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

# same_as NAME EXPECTED WHAT: the screenshot NAME equals EXPECTED's, pixel
# for pixel; WHAT says what led to it.
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

# start_program ARGS...: starts $bin with ARGS, its output in out and err, and
# finds its window (top) and its view (gl, the 690x665 child at (0, 0)),
# looking window_tries (default 500) and view_tries (default 100) times 0.02
# s apart.
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

# wait_exit WHAT [SECONDS]: waits up to SECONDS (default 5) for the program
# to end by itself, after WHAT; sets status to its exit status and clears pid.
wait_exit() {
  poll $((${2:-5} * 50)) 0.02 ended || fail "the program still runs ${2:-5} s after $1"
  status=0
  wait "$pid" || status=$?
  pid=
}

# wait_figure NAME [TRIES]: screenshots NAME until the figure shows (over
# 5000 magenta pixels), TRIES at most (default 100) 0.05 s apart.
wait_figure() {
  poll "${2:-100}" 0.05 figure_shown "$1" || fail "no figure on screen"
}
figure_shown() {
  alive
  shot "$1" && (($(magenta_count "$work/$1.png") > 5000))
}

# Sets ticks to the processor time the program has used, in clock ticks, or
# to "busy" while one of its threads runs or waits for a processor: a starved
# program uses no time either, and has done nothing yet. False when the
# program is gone. Builtins only: it runs every 0.05 s on a busy machine.
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

# idle_within TRIES LOG WHAT: returns once the program has used no processor
# time for 0.15 s and none of its threads is running, having handled all
# input sent and drawn; fails, quoting the end of LOG, when it is gone, and
# saying "the program stayed busy for WHAT" after TRIES looks 0.05 s apart.
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

# expect_title TITLE WHAT: the title, as a desktop reads it, becomes TITLE
# within ten seconds (a busy machine), or begins with it when TITLE ends in
# "- " (a message follows, gone after five seconds: look for one right after
# the action), or ends with it when TITLE begins with "... ". xprop quotes it
# and escapes its quotes.
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

# named NAME: prints the program's first visible window named NAME; false if
# there is none.
named() { xdo search --all --onlyvisible --pid "$pid" --name "^$1\$" 2>/dev/null | head -n 1 | grep .; }

# The program's window named NAME, within five seconds.
window_named() { poll 250 0.02 named "$1" || fail "no window '$1'"; }

# gone_named NAME: waits up to 20 s for the program's windows named NAME to go.
gone_named() { poll 1000 0.02 none_named "$1" || fail "the window '$1' still shows 20 s later"; }
none_named() { ! named "$1" >/dev/null; }

# act_on WINDOW XDOTOOL-COMMANDS...: focuses the window, moves the pointer
# into it and runs the commands (keys go to the focus, if one was set, else
# under the pointer). False, quietly, when the window went between finding
# and acting (xdotool's BadWindow): that is no failure, the caller looks again.
act_on() {
  local w=$1
  shift
  xdo windowfocus "$w" mousemove --window "$w" 20 20 "$@" 2>/dev/null
}

# act_on_named NAME XDOTOOL-COMMANDS...: act_on the program's window named
# NAME, found again whenever it went before it took the commands.
act_on_named() {
  local w
  for _ in $(seq 20); do
    w=$(window_named "$1")
    act_on "$w" "${@:2}" && return 0
  done
  fail "'$1' went 20 times before it took ${*:2}"
}

# answer NAME KEYS...: types KEYS into the program's window named NAME (a
# question, a small dialog) and waits for it to go.
answer() {
  act_on_named "$1" key "${@:2}"
  gone_named "$1"
}

# copy_to FILE: Ctrl+C, and the clipboard's text in FILE once the program
# has taken the key and owns the clipboard.
copy_to() {
  xdo key ctrl+c
  poll 200 0.05 clipboard_into "$1" && [[ -s "$1" ]] || fail "nothing on the clipboard 10 s after Ctrl+C"
}
clipboard_into() { timeout 5 xclip -o -selection clipboard >"$1" 2>/dev/null; }

# close_window [SECONDS]: sends WM_DELETE_WINDOW, as a window manager would,
# answers Discard whenever the program asks about changes not saved, and
# waits up to SECONDS (default 5) for it to end; sets status to its exit
# status and clears pid.
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

# pose_two_handles NAME: pins a handle at the figure's middle in screenshot
# NAME (its point in ax, ay) and one 25 px left and 60 px below, takes the
# settled screenshot pinned, drags the first up and to the right in ten steps
# and takes the settled screenshot posed.
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
