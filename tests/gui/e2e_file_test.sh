#!/usr/bin/env bash
# Pose files and pictures in the real program, through its file dialogs (the
# desktop's where GTK is there, else the toolkit's own): a pose saved equals
# the copied text byte for byte and replaces the file by a rename; opened
# after a reset, and given on the command line, it shows the saved picture
# pixel for pixel; Ctrl+E writes a PNG of the figure the size of the view,
# Ctrl+Shift+E asks for a larger, transparent one that Ctrl+E then keeps,
# and the picture opens as its pose; --png draws pictures and refuses with
# one line and status 1;
# closing with changes asks, even with no file, and a click with Ctrl+Q in
# one burst too; a broken file on the command line leaves the start-up
# picture and says so, and Ctrl+Q ends the program as closing the window
# does; a killed or terminated program's pose comes back at the next start,
# terminated with the file dialog open too;
# --help and --version need no display.
#
# Usage: e2e_file_test.sh MANNEQUIN WM_CLOSE   (DISPLAY must be set)
# E2E_DIALOG=toolkit: with the toolkit's own file dialog, as without GTK.
set -Eeuo pipefail
script_name=e2e-file
trap 'echo "e2e-file: FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR

bin=$(realpath "$1")
wm_close=$(realpath "$2")

source "$(dirname "${BASH_SOURCE[0]}")/x_helpers.sh"
start_work file
xdo_timeout=5
W=690
# The dialogs open in the program's working folder: the names typed are
# plain ones, as a person types them.
cd "$work"
# Without GTK the toolkit shows its own dialog, whichever is asked for.
/sbin/ldconfig -p | grep -q 'libgtk-x11-2\.0\.so\.0' || E2E_DIALOG=toolkit
if [[ ${E2E_DIALOG:-} == toolkit ]]; then
  # The toolkit reads its choice of dialog from its preferences.
  export HOME="$work/home"
  mkdir -p "$HOME/.fltk/fltk.org"
  printf '; FLTK preferences file format 1.0\n; vendor: fltk.org\n; application: fltk\n\n[.]\n\n[./options]\nFNFCUsesGTK:0\n' \
    >"$HOME/.fltk/fltk.org/fltk.prefs"
fi

# start [ARGS...]: the program, with the pointer in a corner.
start() {
  start_program "$@"
  xdo mousemove --window "$gl" 20 640
}
shot() { timeout "${shot_timeout:-10}" /usr/bin/import -window "$gl" "$work/$1.png"; }

# answer_dialog TITLE NAME SUGGESTED: types NAME over the SUGGESTED one.
# The desktop's dialog completes a name that begins another file's (pose,
# posed.png) with the rest selected: once it is done, Delete takes that away.
# The toolkit's shows the whole path and takes a name typed only at its end.
answer_dialog() {
  local dialog
  dialog=$(window_named "$1")
  xdo mousemove --window "$dialog" 30 30
  idle_within 400 "$err" "20 s with the dialog open"
  if [[ ${E2E_DIALOG:-} == toolkit ]]; then
    xdo key End
    for _ in $(seq ${#3}); do xdo key BackSpace; done
  else
    xdo key ctrl+a
  fi
  xdo type --delay 2 "$2"
  idle_within 400 "$err" "20 s after typing a name"
  xdo key Delete Return
  gone_named "$1"
  xdo mousemove --window "$gl" 20 640
}

# written PATH [INODE]: waits up to 10 s for PATH to exist, with another
# inode than INODE: the program writes after its dialog has gone, later on
# a busy machine.
written() {
  for _ in $(seq 500); do
    [[ -f "$1" && "$(stat -c %i "$1")" != "${2:-}" ]] && return 0
    sleep 0.02
  done
  fail "no new file $1 within 10 s"
}

# ---- without a display

help=$(env -u DISPLAY "$bin" --help) && [[ "$help" == "usage: mannequin [FILE]"* ]] || fail "--help without a display"
version=$(env -u DISPLAY "$bin" --version) && [[ "$version" == "mannequin 1.4.0" ]] || fail "--version without a display"
note "--help and --version: exit status 0 without a display"

# ---- pose the figure, copy it, save it through the dialog

start
settle start
pose_two_handles start
xdo key ctrl+c
# The clipboard has no owner until the program has taken the key.
for _ in $(seq 200); do
  timeout 5 xclip -o -selection clipboard >"$work/copied.txt" 2>/dev/null && break
  sleep 0.05
done
[[ -s "$work/copied.txt" ]] || fail "nothing on the clipboard 10 s after Ctrl+C"

# Closing an untitled pose asks: Return saves, which asks for a name; a
# cancelled name keeps the program, untitled and changed.
"$wm_close" "$top"
answer mannequin Return
xdo mousemove --window "$(window_named "Save the pose")" 30 30
idle_within 400 "$err" "20 s with the dialog open"
xdo key Escape
gone_named "Save the pose"
xdo mousemove --window "$gl" 20 640
idle_within 400 "$err" "20 s after the name was cancelled"
running || fail "the program ended when the name was cancelled"
expect_title "untitled* - mannequin - " "closing asked for a name, then was cancelled"
xdo key ctrl+s
answer_dialog "Save the pose" pose pose.pose
written "$work/pose.pose"
# A pose file is the copied text under version 2's header, with the camera after it.
pose_of() { sed -e '1s/^mannequin pose 2$/mannequin pose 1/' -e '/^camera /d' "$1"; }
[[ $(head -1 "$work/pose.pose") == "mannequin pose 2" ]] || fail "the saved file is not version 2"
cmp -s "$work/copied.txt" <(pose_of "$work/pose.pose") || fail "the saved file is not the copied text"
expect_title "pose.pose - mannequin - " "saved through the dialog, .pose added"
# Ctrl+S again saves without a dialog, a new file over the old (how, and
# what a failure leaves, is pose_file_test's).
before=$(stat -c %i "$work/pose.pose")
xdo key ctrl+s
written "$work/pose.pose" "$before"
note "Ctrl+S again: a new file renamed over the old"
# The saved pose as BVH, with no display; a refused file is one line and status 1.
bvh=$(env -u DISPLAY "$bin" --bvh pose.pose) && [[ "$bvh" == HIERARCHY$'\n'"ROOT root"* ]] || fail "--bvh without a display"
status=0
env -u DISPLAY "$bin" --bvh copied.png 2>"$work/bvh.err" || status=$?
((status == 1)) && [[ $(wc -l <"$work/bvh.err") == 1 ]] || fail "--bvh of no pose: status $status"
note "--bvh: BVH of the saved pose, and one line and status 1 for a refused file"
# Save As a name that .pose completes into that file: asked about first,
# and Escape keeps the file.
before=$(stat -c %i "$work/pose.pose")
xdo key ctrl+shift+s
answer_dialog "Save the pose" pose pose.pose
answer mannequin Escape
xdo mousemove --window "$gl" 20 640
[[ "$(stat -c %i "$work/pose.pose")" == "$before" ]] || fail "Save As 'pose' replaced pose.pose unasked"
note "Save As 'pose': asked before pose.pose was replaced"

# ---- reset, then open over the changes: the saved picture

xdo key ctrl+r
settle reset
same_as reset start "Ctrl+R"
# Opening over changes asks first: Escape keeps them, Discard goes on.
xdo key ctrl+o
answer mannequin Escape
idle_within 400 "$err" "20 s after Escape"
xdo search --all --onlyvisible --pid "$pid" --name '^Open a pose$' && fail "Escape opened the dialog"
xdo mousemove --window "$gl" 20 640 key ctrl+o
answer mannequin d
answer_dialog "Open a pose" pose.pose pose.pose
settle opened
same_as opened posed "opened after the reset"
expect_title "pose.pose - mannequin - " "opened"

# ---- a picture of the figure, without its handles

xdo key ctrl+e
answer_dialog "Save a picture of the figure" figure pose.png
written "$work/figure.png"
size=$(/usr/bin/identify -format %wx%h "$work/figure.png")
[[ "$size" == 690x665 ]] || fail "the picture is $size"
# That it leaves out the handles and the triad: FirstFrame.ThePictureIsTheFrameWithoutHandlesOrTriad.
figure=$(magenta_count "$work/figure.png")
((figure > 5000)) || fail "the picture has $figure figure pixels"
note "Ctrl+E: a ${size} PNG, $figure figure pixels"

# Ctrl+Shift+E asks first: twice the size on a transparent background, kept
# for the next Ctrl+E.
alpha_at() { /usr/bin/convert "$1" -format "%[fx:int(255*p{$2,$3}.a)]" info:; }
# Pixels whose alpha is neither 0 nor 255: a soft edge.
soft_pixels() {
  /usr/bin/convert "$1" -alpha extract -depth 8 gray:- | od -An -v -tu1 |
    awk '{ for (i = 1; i <= NF; i++) if ($i > 0 && $i < 255) n++ } END { print n + 0 }'
}
xdo key ctrl+shift+e
answer "mannequin: picture" alt+2 alt+t alt+c Return
answer_dialog "Save a picture of the figure" big pose.png
written "$work/big.png"
xdo key ctrl+e
answer_dialog "Save a picture of the figure" again pose.png
written "$work/again.png"
for name in big again; do
  size=$(/usr/bin/identify -format '%wx%h %[channels]' "$work/$name.png")
  [[ "$size" == "1380x1330 srgba" ]] || fail "$name.png is $size"
  [[ "$(alpha_at "$work/$name.png" 0 0)" == 0 ]] || fail "$name.png is not transparent in its corner"
  (($(soft_pixels "$work/$name.png") > 500)) || fail "$name.png, clay, has no soft edges"
done
note "Ctrl+Shift+E, 2x, transparent and clay, then Ctrl+E: two 1380x1330 pictures with soft alpha edges"

# The picture holds the pose: opened, it shows the saved one, untitled.
xdo key ctrl+o
answer_dialog "Open a pose" big.png pose.pose
# The title's message goes after five seconds: read it first.
expect_title "untitled* - mannequin - imported big.png" "the picture opened"
settle from-picture
same_as from-picture posed "the picture opened"
xdo key ctrl+z
expect_title "pose.pose - mannequin - " "Ctrl+Z after the picture"

# ---- closing with changes asks: Escape stays, Discard closes

xdo mousemove --window "$gl" "$ax" "$ay" click 1
idle_within 400 "$err" "20 s after a click"
"$wm_close" "$top"
answer mannequin Escape
idle_within 400 "$err" "20 s after Escape"
running || fail "the program ended on Escape"
"$wm_close" "$top"
answer mannequin d
wait_exit Discard
((status == 0)) || fail "exit status $status after Discard"
cmp -s "$work/copied.txt" <(pose_of "$work/pose.pose") || fail "Discard changed the file"
note "closing with changes asked; Escape kept the program, Discard closed it"

# ---- pictures from the command line

"$bin" --png sheet.png --view right --scale 2 --background white pose.pose
[[ "$(/usr/bin/identify -format '%wx%h %[channels]' sheet.png)" == "1380x1330 srgb" ]] || fail "--png --scale 2"
"$bin" --png sheet.png --width 1000 --background transparent big.png
[[ "$(/usr/bin/identify -format '%wx%h %[channels]' sheet.png)" == "1000x964 srgba" ]] || fail "--png --width 1000"
[[ "$(alpha_at sheet.png 0 0)" == 0 ]] || fail "--png --background transparent"
(($(soft_pixels sheet.png) == 0)) || fail "--png: the plain picture's alpha is not 0 or 255"
"$bin" --png soft.png --style clay --background transparent pose.pose
soft=$(soft_pixels soft.png)
((soft > 200)) || fail "--png --style clay: $soft pixels of soft alpha"
# Without --view: a picture (no camera of its own) framed whole, the head
# never cut; a pose file through its own camera, here from far away.
opaque_box() { /usr/bin/convert "$1" -alpha extract -format '%@\n' info:; }
IFS='x+' read -r w h x y < <(opaque_box sheet.png)
((x > 0 && y > 0 && x + w < 1000 && y + h < 964 && h > 700)) || fail "--png of a picture: the figure at ${w}x$h+$x+$y"
sed 's/^camera .*/camera free 0 0 -90 0 4 0 45/' pose.pose >far.pose
"$bin" --png sheet.png --background transparent far.pose
IFS='x+' read -r w h x y < <(opaque_box sheet.png)
((h < 150)) || fail "--png of a pose file: not through its camera (the figure ${h} pixels tall)"
/usr/bin/convert -size 4x4 xc:red plain.png
for refused in "--scale 9 pose.pose" "--width 8193 pose.pose" "--view side pose.pose" "--style chalk pose.pose" \
  "broken-missing.pose" \
  "plain.png"; do
  status=0
  # shellcheck disable=SC2086
  "$bin" --png refused.png $refused 2>"$work/png.err" || status=$?
  ((status == 1)) && [[ $(wc -l <"$work/png.err") == 1 && ! -e refused.png ]] ||
    fail "--png $refused: status $status, $(wc -l <"$work/png.err") lines, $(ls refused.png 2>/dev/null)"
done
[[ "$(cat "$work/png.err")" == "mannequin: open: plain.png: the picture holds no pose" ]] || fail "$(cat "$work/png.err")"
# Nor beside a name that is no regular file.
mkfifo fifo
status=0 && "$bin" --png fifo pose.pose 2>"$work/png.err" || status=$?
((status == 1)) && [[ $(wc -l <"$work/png.err") == 1 && ! -e fifo.png ]] || fail "--png fifo: status $status"
# Never over what it draws, nor as a pose or BVH file.
env -u DISPLAY "$bin" --bvh pose.pose >pose.bvh
for out in pose.bvh big.png pose.pose another.BVH; do
  before=$(md5sum <"$([[ -e $out ]] && echo "$out" || echo /dev/null)")
  status=0
  "$bin" --png "$out" "${out/another.BVH/pose.pose}" 2>/dev/null || status=$?
  ((status == 1)) && [[ "$(md5sum <"$([[ -e $out ]] && echo "$out" || echo /dev/null)")" == "$before" ]] ||
    fail "--png $out: status $status"
done
note "--png: 1380x1330 and 1000x964 pictures, framed whole or through the file's camera, a clay one with $soft soft edge pixels; refused options and files: one line, status 1, nothing written"

# ---- the command line: the file's picture; a broken file leaves the start

start "$work/pose.pose"
settle cli
same_as cli posed "mannequin pose.pose"
close_window
printf 'mannequin pose 1\nbogus 1\n' >"$work/broken.pose"
start "$work/broken.pose"
line="open: $work/broken.pose: line 2: unknown segment \"bogus\""
expect_title "mannequin - $line" "a broken file"
[[ "$(cat "$err")" == "mannequin: $line" ]] || fail "standard error holds '$(cat "$err")'"
settle broken
same_as broken start "mannequin broken.pose"
xdo key ctrl+q
wait_exit Ctrl+Q
((status == 0)) || fail "exit status $status after Ctrl+Q"
note "Ctrl+Q: exit status 0"

# ---- a click and Ctrl+Q in one burst: the click's new handle is asked about

start
"$(dirname "$wm_close")/x_burst" "$gl" "$ax" "$ay" ctrl+q
answer mannequin alt+d
wait_exit "Alt+D"
((status == 0)) || fail "exit status $status after the burst and Alt+D"
note "a click and Ctrl+Q in one burst: asked, Alt+D ended with status 0"

# ---- a kill, a termination, and one while the file dialog is open (the
# desktop's runs a loop of its own, which never reads the signal's pipe):
# the pose comes back at the next start

copies() { find "$XDG_STATE_HOME/mannequin" -name '*.pose' 2>/dev/null | wc -l; }
for signal in KILL TERM TERM-in-dialog; do
  start pose.pose
  xdo mousemove --window "$gl" "$ax" "$ay" click 1
  expect_title "pose.pose* - mannequin - " "a new handle before SIG$signal"
  if [[ $signal == *-in-dialog ]]; then
    xdo key ctrl+shift+s
    window_named "Save the pose" >/dev/null
    idle_within 400 "$err" "20 s with the dialog open"
    signal=${signal%-in-dialog}
  fi
  kill -s "$signal" "$pid"
  wait_exit "SIG$signal" 10
  ((status == 128 + $(kill -l "$signal"))) || fail "exit status $status after SIG$signal"
  start pose.pose
  expect_title "pose.pose* - mannequin - recovered pose.pose" "SIG$signal, then a start"
  xdo key ctrl+z
  expect_title "pose.pose - mannequin - " "Ctrl+Z: the file's saved pose"
  close_window
done
(($(copies) == 0)) || fail "$(copies) recovery copies left after clean ends"
note "SIGKILL, SIGTERM and SIGTERM with the dialog open: the pose came back modified, Ctrl+Z gave the file's"
passed=1
