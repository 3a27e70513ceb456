#!/usr/bin/env bash
# The main window as a desktop sees it (xprop): its class and its title, as
# keys change the settings and modes; the wheel's zoom. The X clipboard, with
# xclip as the other program: copy, paste, mirror, and texts too big for a
# pose. Undo as the X server repeats a held key, and the help window. Each
# section says what it checks.
# Usage: e2e_clipboard_test.sh MANNEQUIN WM_CLOSE   (DISPLAY must be set)
script_name=e2e-clipboard

bin=$1
wm_close=$2

source "$(dirname "${BASH_SOURCE[0]}")/x_helpers.sh"
start_work clipboard
xdo_timeout=5
W=694

# paste_file FILE KEYS MESSAGE NAME: FILE's text on the clipboard (xclip serves
# it until another program takes it), KEYS, the title's MESSAGE, screenshot NAME.
serves() { [[ "$(timeout 5 xclip -o -selection clipboard 2>/dev/null | head -c 64)" == "$(head -c 64 "$1")" ]]; }
paste_file() {
  timeout 5 xclip -i -selection clipboard <"$1"
  poll 200 0.05 serves "$1" || fail "xclip did not serve $1 within 10 s"
  xdo key "$2"
  expect_title "... - $3" "$2 of $1"
  settle "$4"
}

start_program
xdo windowfocus --sync "$top"
xdo mousemove --window "$gl" 20 640
settle start

# ---- the window's class, and a title that follows the settings and mode
# keys and says for five seconds what just happened

class=$(timeout 5 xprop -id "$top" WM_CLASS)
[[ "$class" == 'WM_CLASS(STRING) = "mannequin", "mannequin"' ]] || fail "the class is $class"
expect_title "mannequin - tolerance 0.01, limits off, uniform weights" "at start"
settings="mannequin - tolerance 0.001, limits off, uniform weights"
xdo key 2
expect_title "$settings" "key 2"
xdo key p
expect_title "$settings, firm pins" "p"
xdo key x
expect_title "$settings, firm pins, mirror" "x"
xdo key p x
expect_title "$settings" "p and x again"
xdo key ctrl+z
expect_title "mannequin - nothing to undo" "Ctrl+Z with nothing to undo"
xdo key ctrl+n
expect_title "mannequin - new pose" "Ctrl+N on the start pose"
expect_title "$settings" "five seconds later"

# ---- a notch of the wheel zooms as a 10-pixel zoom drag does, either way

traced_twice() { (($(trace_lines) >= 2)); }
xdo mousemove --window "$gl" 600 600 click 4 click 5
poll 250 0.02 traced_twice || fail "two notches of the wheel traced $(trace_lines) lines"
[[ "$(grep '^\[' "$out")" == $'[0 -10 -0]\n[0 10 -0]' ]] || fail "the wheel traced $(grep '^\[' "$out")"
xdo mousemove --window "$gl" 20 640

pose_two_handles start

# ---- copy, reset, then paste it back: the same picture (the text itself is
# pose_text_test's)

copy_to "$work/pose.txt"
xdo key ctrl+r
paste_file "$work/pose.txt" ctrl+v "pasted" pasted
same_as pasted posed "Ctrl+V of the copied pose"

# ---- a text too big for a pose, whole or, from 1 MiB on, in the chunks its
# owner sends, leaves the picture as it was and prints one line (what other
# texts are refused for is pose_text_test's)

for size in 70000 1048577; do
  head -c "$size" /dev/zero | tr '\0' 7 >"$work/big.txt"
  before=$(wc -l <"$out")
  said="paste: the text is $size bytes, more than the 65536 a pose may have"
  paste_file "$work/big.txt" ctrl+v "$said" "big-$size"
  same_as "big-$size" posed "pasting $size bytes"
  [[ $(wc -l <"$out") == $((before + 1)) && "$(tail -n 1 "$out")" == "$said" ]] ||
    fail "pasting $size bytes printed $(tail -n +$((before + 1)) "$out" | head -n 3)"
done

# ---- mirror: another picture than the plain paste's (where the handles go
# is mirror_test's)

paste_file "$work/pose.txt" ctrl+shift+v "pasted mirrored" mirrored
changed=$(magenta_changes "$work/posed.png" "$work/mirrored.png")
((changed > 300)) || fail "the mirrored paste changed only $changed pixels"
note "Ctrl+Shift+V: $changed pixels changed"
xdo key ctrl+z
settle unmirrored
same_as unmirrored posed "Ctrl+Z after the mirrored paste"

# ---- undo as the X server sends it: held, the paste; two quick, the reset and the drag

xdo keydown ctrl+z sleep 0.8 keyup ctrl+z
settle held
same_as held start "Ctrl+Z held down"
xdo key --delay 1 ctrl+z ctrl+z
settle quick
same_as quick pinned "two quick Ctrl+Z"

# ---- F1 opens the help window, Escape in it closes it; closing the main
# window ends the program with the help window open

xdo key F1
answer "mannequin: controls" Escape
xdo mousemove --window "$gl" 20 640 key F1
window_named "mannequin: controls" >/dev/null
note "F1: the help window opened, Escape closed it, F1 opened it again"
close_window
((status == 0)) || fail "exit status $status after closing"
expected_lines=(-e '^\[' -e '^brem$' -e '^paste: ' -e '^paste mirrored: ')
grep -qv "${expected_lines[@]}" "$out" && fail "unexpected output: $(grep -v "${expected_lines[@]}" "$out" | head -n 3)"
note "closed: exit status 0"
passed=1
