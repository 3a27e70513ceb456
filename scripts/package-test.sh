#!/usr/bin/env bash
# Builds the Debian package from a Release build, unpacks it into a scratch
# root and checks it the way an installed program is used: the right files in
# the right places, dependencies worked out from the linked libraries, a valid
# desktop entry, and a program that opens its window from where it was put.
# Usage: scripts/package-test.sh [BUILD_DIR]   (default: build-package)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build=${1:-build-package}
[[ $build == /* ]] || build="$root/$build"

fail() {
  echo "package-test: FAIL: $*" >&2
  exit 1
}
step() { echo "== package-test: $*"; }

scripts/install-deps.sh

# package_build, package_check, package_summary.
source scripts/package-lib.sh

package_build "$build"
package_check "$deb" "$(dpkg --print-architecture)" "$build/package-root"

# Every library it links is on this system.
bin="$build/package-root/usr/bin/mannequin"
if ldd "$bin" | grep -q 'not found'; then
  fail "usr/bin/mannequin has missing libraries:"$'\n'"$(ldd "$bin" | grep 'not found')"
fi

step "start the installed program under a private Xvfb"
# The installed program, started from elsewhere, must open its window; then
# it is simply ended.
# shellcheck disable=SC2016
tests/run-with-xvfb.sh bash -c '
  set -u
  cd /
  "$1" & pid=$!
  start=$(date +%s%N)
  for _ in $(seq 500); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"; echo "package-test: the program exited (status $?) before its window appeared" >&2
      exit 1
    fi
    win=$(timeout 2 xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1)
    if [[ -n $win ]]; then
      echo "window $win after $((($(date +%s%N) - start) / 1000000)) ms"
      kill "$pid"; wait "$pid" 2>/dev/null
      exit 0
    fi
    sleep 0.02
  done
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  echo "package-test: no window from the installed program within 10 s" >&2
  exit 1
' package-window "$bin" || fail "the installed program did not show its window"

package_summary "$deb"
echo "package-test: OK"
