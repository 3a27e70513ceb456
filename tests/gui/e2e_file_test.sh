#!/usr/bin/env bash
# Pose files and pictures in the real program, through its file dialogs (the
# desktop's where GTK is there, else the toolkit's own), closing and signals;
# given a capture (E2E_CAPTURE), then what needs no file dialog: Ctrl+L's pose
# library, --png, the command line and Ctrl+Q. Each section says what it checks.
# Usage: e2e_file_test.sh MANNEQUIN WM_CLOSE   (DISPLAY must be set)
# E2E_DIALOG=toolkit: with the toolkit's own file dialog, as without GTK.
script_name=e2e-file

bin=$(realpath "$1")
wm_close=$(realpath "$2")
capture=${E2E_CAPTURE:-}

source "$(dirname "${BASH_SOURCE[0]}")/x_helpers.sh"
start_work file
xdo_timeout=5
W=690
# The dialogs open in the working folder: the names typed are plain ones.
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

# into_dialog TITLE: the pointer into the dialog (found again if it went),
# and the program idle.
move_into() { xdo mousemove --window "$(window_named "$1")" 30 30 2>/dev/null; }
into_dialog() {
  poll 20 0 move_into "$1" || fail "'$1' went 20 times before the pointer reached it"
  idle_within 400 "$err" "20 s with the dialog open"
}

# answer_dialog TITLE NAME SUGGESTED: types NAME over the SUGGESTED one. The
# desktop's dialog completes a name that begins another file's with the rest
# selected, which Delete takes away; the toolkit's shows the whole path.
answer_dialog() {
  into_dialog "$1"
  if [[ ${E2E_DIALOG:-} == toolkit ]]; then
    xdo key End key --repeat ${#3} BackSpace
  else
    xdo key ctrl+a
  fi
  xdo type --delay 2 "$2"
  idle_within 400 "$err" "20 s after typing a name"
  xdo key Delete Return
  gone_named "$1"
  xdo mousemove --window "$gl" 20 640
}

# written PATH [INODE]: PATH within 10 s, with another inode than INODE.
new_file() { [[ -f "$1" && "$(stat -c %i "$1")" != "${2:-}" ]]; }
written() { poll 500 0.02 new_file "$@" || fail "no new file $1 within 10 s"; }

help=$(env -u DISPLAY "$bin" --help) && [[ "$help" == "usage: mannequin [FILE]"* ]] || fail "--help without a display"
version=$(env -u DISPLAY "$bin" --version) && [[ "$version" == "mannequin 1.4.1" ]] || fail "--version without a display"

# ---- pose the figure and copy it. Closing an untitled pose asks: Return
# saves, which asks for a name; a cancelled name keeps the program. A pose
# saved equals the copied text, and replaces the file by a rename.

start
settle start
pose_two_handles start
copy_to "$work/copied.txt"
"$wm_close" "$top"
answer mannequin Return
into_dialog "Save the pose"
xdo key Escape
gone_named "Save the pose"
xdo mousemove --window "$gl" 20 640
idle_within 400 "$err" "20 s after the name was cancelled"
expect_title "untitled* - mannequin - " "closing asked for a name, then was cancelled"
xdo key ctrl+s
answer_dialog "Save the pose" pose pose.pose
written "$work/pose.pose"
# The copied text under version 2's header, with the camera after it.
pose_of() { sed -e '1s/^mannequin pose 2$/mannequin pose 1/' -e '/^camera /d' "$1"; }
[[ $(head -1 "$work/pose.pose") == "mannequin pose 2" ]] || fail "the saved file is not version 2"
cmp -s "$work/copied.txt" <(pose_of "$work/pose.pose") || fail "the saved file is not the copied text"
expect_title "pose.pose - mannequin - " "saved through the dialog, .pose added"
# Ctrl+S again saves without a dialog (how is pose_file_test's).
before=$(stat -c %i "$work/pose.pose")
xdo key ctrl+s
written "$work/pose.pose" "$before"
# Save As a name that .pose completes into that file asks; Escape keeps it.
before=$(stat -c %i "$work/pose.pose")
xdo key ctrl+shift+s
answer_dialog "Save the pose" pose pose.pose
answer mannequin Escape
xdo mousemove --window "$gl" 20 640
[[ "$(stat -c %i "$work/pose.pose")" == "$before" ]] || fail "Save As 'pose' replaced pose.pose unasked"
note "Ctrl+S again: a new file renamed over the old; Save As 'pose': asked before pose.pose was replaced"

# ---- reset, then open over the changes: the saved picture

xdo key ctrl+r
settle reset
same_as reset start "Ctrl+R"
# Opening over changes asks first: Escape keeps them, Discard goes on.
xdo key ctrl+o
answer mannequin Escape
idle_within 400 "$err" "20 s after Escape"
named "Open a pose" && fail "Escape opened the dialog"
xdo mousemove --window "$gl" 20 640 key ctrl+o
answer mannequin d
answer_dialog "Open a pose" pose.pose pose.pose
settle opened
same_as opened posed "opened after the reset"
expect_title "pose.pose - mannequin - " "opened"

# ---- Ctrl+E: a picture the view's size; Ctrl+Shift+E asks for a larger,
# transparent one that Ctrl+E then keeps; the picture opens as its pose

xdo key ctrl+e
answer_dialog "Save a picture of the figure" figure pose.png
written "$work/figure.png"
size=$(/usr/bin/identify -format %wx%h "$work/figure.png")
figure=$(magenta_count "$work/figure.png")
[[ "$size" == 690x665 ]] && ((figure > 5000)) || fail "the picture is $size with $figure figure pixels"

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
note "Ctrl+E: a 690x665 picture; Ctrl+Shift+E, 2x, transparent and clay, then Ctrl+E: two 1380x1330 with soft edges"

xdo key ctrl+o
answer_dialog "Open a pose" big.png pose.pose
# The title's message goes after five seconds: read it first.
expect_title "untitled* - mannequin - imported big.png" "the picture opened"
settle from-picture
same_as from-picture posed "the picture opened"
xdo key ctrl+z
expect_title "pose.pose - mannequin - " "Ctrl+Z after the picture"
close_window

# ---- after a termination with the file dialog open (the desktop's never
# reads the signal's pipe), and after a kill, the pose comes back

copies() { find "$XDG_STATE_HOME/mannequin" -name '*.pose' 2>/dev/null | wc -l; }
for signal in TERM-in-dialog ${capture:+KILL}; do
  start pose.pose
  xdo mousemove --window "$gl" "$ax" "$ay" click 1
  expect_title "pose.pose* - mannequin - " "a new handle before SIG$signal"
  if [[ $signal == *-in-dialog ]]; then
    # The pointer stays out of the dialog: a dialog with the focus wakes its
    # loop with the cursor's blink, and the signal then comes through anyway.
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
note "SIGTERM with the dialog open${capture:+ and SIGKILL}: the pose came back modified, Ctrl+Z gave the file's"

# What needs no file dialog runs once, in the session given a capture.
if [[ -z $capture ]]; then
  passed=1
  exit 0
fi

# ---- the pose library, over a shelf holding one picture drawn by
# --thumbnail: Right, with the keyboard still the main window's, previews
# the first picture; a click the one beside it; Escape and Cancel close it

export XDG_DATA_HOME=$work/data
mkdir -p "$XDG_DATA_HOME/mannequin/poses"
"$bin" --pose "$capture" --frame 8 >walk.pose
"$bin" walk.pose --png "$XDG_DATA_HOME/mannequin/poses/walk.png" --thumbnail
# The view's left part, which the library's window never covers here.
left() { /usr/bin/convert "$work/$1.png" -crop 500x665+0+0 +repage "$work/$1-left.png"; }
start
settle library-start
xdo mousemove --window "$gl" 100 100 key ctrl+l
window_named "mannequin: poses" >/dev/null
xdo key Right
settle preview
left library-start
left preview
changed=$(magenta_changes "$work/library-start-left.png" "$work/preview-left.png")
((changed > 300)) || fail "Right in the pose library changed the figure only $changed pixels"
# The second picture on the shelves, at (225, 120): the program's own.
act_on_named "mannequin: poses" mousemove_relative 205 100 click 1
settle beside
left beside
changed=$(magenta_changes "$work/preview-left.png" "$work/beside-left.png")
((changed > 300)) || fail "a click in the pose library changed the preview only $changed pixels"
answer "mannequin: poses" Escape
settle library-after
same_as library-after library-start "Escape in the pose library"
expect_title "mannequin - tolerance 0.01, limits off, uniform weights" "Escape in the pose library"
# Its Cancel button, at (437, 534), closes it too.
xdo mousemove --window "$gl" 100 100 key ctrl+l
act_on_named "mannequin: poses" mousemove_relative 417 514 click 1
gone_named "mannequin: poses"
close_window
((status == 0)) || fail "exit status $status after the pose library"

# ---- --png draws what Ctrl+E would: through a pose file's camera, or a
# picture's pose framed whole (the options' limits are command_line_test's,
# the refusals pose_command_test's)

"$bin" --png sheet.png --view right --scale 2 --background white pose.pose
[[ "$(/usr/bin/identify -format '%wx%h %[channels]' sheet.png)" == "1380x1330 srgb" ]] || fail "--png --scale 2"
"$bin" --png sheet.png --width 1000 --background transparent big.png
[[ "$(/usr/bin/identify -format '%wx%h %[channels]' sheet.png)" == "1000x964 srgba" ]] || fail "--png --width 1000"
opaque_box() { /usr/bin/convert "$1" -alpha extract -format '%@\n' info:; }
IFS='x+' read -r w h x y < <(opaque_box sheet.png)
((x > 0 && y > 0 && x + w < 1000 && y + h < 964 && h > 700)) || fail "--png of a picture: the figure at ${w}x$h+$x+$y"
sed 's/^camera .*/camera free 0 0 -90 0 4 0 45/' pose.pose >far.pose
"$bin" --png sheet.png --background transparent far.pose
IFS='x+' read -r w h x y < <(opaque_box sheet.png)
((h < 150)) || fail "--png of a pose file: not through its camera (the figure ${h} pixels tall)"
note "--png: 1380x1330 and 1000x964 pictures, framed whole or through the file's camera"

# ---- the command line: the file's picture; a broken file leaves the start
# and says so; Ctrl+Q ends the program

start "$work/pose.pose"
settle cli
same_as cli posed "mannequin pose.pose"
close_window
printf 'mannequin pose 1\nbogus 1\n' >"$work/broken.pose"
start "$work/broken.pose"
line="open: $work/broken.pose: line 2: unknown segment \"bogus\""
expect_title "mannequin - $line" "a broken file"
[[ "$(cat "$err")" == "mannequin: $line" ]] || fail "standard error holds '$(cat "$err")'"
xdo key ctrl+q
wait_exit Ctrl+Q
((status == 0)) || fail "exit status $status after Ctrl+Q"

# ---- a click and Ctrl+Q in one burst: the click's new handle is asked
# about; Escape stays, Discard closes

start
"$wm_close" --burst "$gl" "$ax" "$ay" ctrl+q
answer mannequin Escape
idle_within 400 "$err" "20 s after Escape"
"$wm_close" "$top"
answer mannequin alt+d
wait_exit "Alt+D"
((status == 0)) || fail "exit status $status after the burst and Alt+D"
note "a click and Ctrl+Q in one burst: asked; Escape kept the program, Alt+D ended it with status 0"
passed=1
