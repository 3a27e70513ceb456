#!/usr/bin/env bash
# Installs what building and running need, builds the program, and starts it.
# A build folder configured before keeps its settings (scripts/test.sh's,
# with the tests); a new one is configured without the tests and benchmarks,
# whose tools run.sh does not install.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --run
if [[ -f build/CMakeCache.txt ]]; then
  cmake build
else
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMANNEQUIN_TESTS=OFF -DMANNEQUIN_BENCHMARKS=OFF
fi
cmake --build build -j"$(nproc)" --target mannequin
exec build/mannequin "$@"
