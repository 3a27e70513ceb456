#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest.
# Usage: scripts/test.sh [--build-only] [build-dir [extra cmake arguments...]]   (default: build)
#   --build-only  installs, configures and builds, and runs no test
# The valgrind session (label memcheck, registered with -DMANNEQUIN_MEMCHECK=ON
# by scripts/memcheck.sh) is left to that script, even in a folder it used.
set -euo pipefail
cd "$(dirname "$0")/.."

build_only=false
if [[ ${1:-} == --build-only ]]; then
  build_only=true
  shift
fi
build=${1:-build}
shift || true
scripts/install-deps.sh
# The tests and benchmarks on, in a folder scripts/run.sh configured without
# them too. Line tables are all a failing test's backtrace or valgrind's
# report needs, and much quicker to build than full debug information.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  -DMANNEQUIN_TESTS=ON -DMANNEQUIN_BENCHMARKS=ON "$@"
cmake --build "$build" -j"$(nproc)"
$build_only && exit 0
# One test more than cores: the end-to-end tests spend a third of their time
# waiting for the program they drive.
ctest --test-dir "$build" --output-on-failure -j"$(($(nproc) + 1))" --timeout 900 -LE memcheck
