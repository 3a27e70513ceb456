#!/usr/bin/env bash
# Builds the program (RelWithDebInfo, no sanitizers) and runs it under
# valgrind memcheck on a private X server, driven for a few minutes by
# tests/memcheck/session.sh: it fails on any definite or indirect leak and on
# any memory error that tests/memcheck/mannequin.supp does not explain.
# Usage: scripts/memcheck.sh [BUILD_DIR]   (default: build-mem)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build=${1:-build-mem}
[[ $build == /* ]] || build="$root/$build"

if [[ -f "$build/CMakeCache.txt" ]] && grep -q '^MANNEQUIN_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
  echo "memcheck: $build is a sanitizer build; valgrind needs one without (choose another folder)" >&2
  exit 2
fi

scripts/install-deps.sh
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMANNEQUIN_TESTS=ON -DMANNEQUIN_MEMCHECK=ON
cmake --build "$build" -j"$(nproc)" --target mannequin wm_close
ctest --test-dir "$build" -L memcheck --verbose
echo "memcheck: valgrind's log is $build/tests/memcheck/valgrind.log"
