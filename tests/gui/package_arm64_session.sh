#!/usr/bin/env bash
# The arm64 package's program run as an arm64 user would run it, here under
# qemu-aarch64 with the arm64 libraries of the multiarch install, then the
# amd64 package's program driven by the very same input: the end-to-end
# session of e2e_test.sh, paced for the emulator, with both programs started
# from / and the second clicking where the first did. Both must print the
# same lines and draw the same pictures.
#
# Usage: package_arm64_session.sh ARM64_ROOT AMD64_ROOT WM_CLOSE
#   (the roots are where the packages were unpacked; DISPLAY must be set)
script_name=package-arm64
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/x_helpers.sh"
start_work arm64

# run NAME ROOT PROGRAM...: the session with the installed program.
run() {
  local name=$1 root=$2
  shift 2
  {
    echo '#!/usr/bin/env bash'
    printf 'cd / && exec'
    printf ' %q' "$@" "$root/usr/bin/mannequin"
    echo ' "$@"'
  } >"$work/$name.sh"
  chmod +x "$work/$name.sh"
  E2E_NAME="$script_name: $name" E2E_PACED=1 E2E_KEEP="$work/$name" E2E_CLICK=${click:-} \
    bash "$here/e2e_test.sh" "$work/$name.sh" "$wm_close"
  click=$(cat "$work/$name/click")
}

wm_close=$3
click=
run arm64 "$1" qemu-aarch64 -L /
run amd64 "$2"

lines=$(diff "$work/amd64/stdout.txt" "$work/arm64/stdout.txt") ||
  fail "the programs printed different lines (< amd64, > arm64):"$'\n'"$lines"
note "both printed the same $(wc -l <"$work/arm64/stdout.txt") lines"
# The same pictures too, but for the odd pixel where llvmpipe's arm64 and
# x86-64 code round differently: at most a thousandth of the window.
for shot in "$work"/arm64/*.png; do
  name=$(basename "$shot" .png)
  changed=$(differing_pixels "$shot" "$work/amd64/$name.png")
  ((changed <= 694 * 666 / 1000)) || fail "$name: $changed pixels differ between arm64 and amd64"
  note "$name: $changed pixels differ between arm64 and amd64"
done
passed=1
