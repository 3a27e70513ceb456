#!/usr/bin/env bash
# Runs the program (RelWithDebInfo, no sanitizers) under valgrind memcheck on
# private X servers, driven by the end-to-end sessions, one per CTest entry
# (label memcheck), two at a time: it fails on any definite or
# indirect leak and on any memory error that tests/memcheck/mannequin.supp
# does not explain.
# Usage: scripts/memcheck.sh [BUILD_DIR]   (default: build, the folder of
# scripts/test.sh, whose program and wm_close it uses as they are; a folder
# without a build is configured and built here)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build=${1:-build}
[[ $build == /* ]] || build="$root/$build"

if [[ -f "$build/CMakeCache.txt" ]] && grep -q '^MANNEQUIN_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
  echo "memcheck: $build is a sanitizer build; valgrind needs one without (choose another folder)" >&2
  exit 2
fi

scripts/install-deps.sh
# A folder that had the session's entries off gets them off again, so that a
# plain ctest there does not take minutes.
registered=OFF
if [[ -f "$build/CMakeCache.txt" ]] && grep -q '^MANNEQUIN_MEMCHECK:BOOL=ON' "$build/CMakeCache.txt"; then
  registered=ON
fi
# The same settings as scripts/test.sh's, so that nothing it built is built again.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMANNEQUIN_TESTS=ON -DMANNEQUIN_MEMCHECK=ON
cmake --build "$build" -j"$(nproc)" --target mannequin wm_close
status=0
ctest --test-dir "$build" -L memcheck --verbose -j"$(nproc)" || status=$?
if [[ $registered == OFF ]]; then
  cmake -S "$root" -B "$build" -DMANNEQUIN_MEMCHECK=OFF >/dev/null
fi
echo "memcheck: valgrind's logs are $build/tests/memcheck/valgrind.*.log"
exit "$status"
