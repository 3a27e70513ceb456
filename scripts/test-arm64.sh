#!/usr/bin/env bash
# Builds the display-free core and its tests for 64-bit Arm with Debian's
# cross compiler, runs them under qemu-user, and checks that the random-figure
# differential test computed the same numbers there as on this machine.
# Usage: scripts/test-arm64.sh [arm-build-dir [native-build-dir]]
set -euo pipefail
cd "$(dirname "$0")/.."

arm=${1:-build-arm64}
native=${2:-build-core}
scripts/install-deps.sh --cross

core_only=(-DMANNEQUIN_GUI=OFF -DMANNEQUIN_BENCHMARKS=OFF -DMANNEQUIN_KDL=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo)
cmake -S . -B "$arm" -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake "${core_only[@]}"
cmake --build "$arm" -j"$(nproc)"
file -b "$arm/tests/core_tests" | grep -q 'ARM aarch64' || { echo "core_tests is not an arm64 program" >&2; exit 1; }
ctest --test-dir "$arm" --output-on-failure -j"$(nproc)" --timeout 900

# The same figures, solves and results, bit for bit: compare the digests.
cmake -S . -B "$native" "${core_only[@]}"
cmake --build "$native" -j"$(nproc)" --target core_tests
filter='Builds/Differential.RandomFiguresMatchThePlainSolverBitForBit/Portable'
digest() { "$@" --gtest_filter="$filter" | grep -o 'digest [0-9a-f]*'; }
here=$(digest "$native/tests/core_tests")
there=$(digest qemu-aarch64 -L /usr/aarch64-linux-gnu "$arm/tests/core_tests")
echo "x86-64: $here; arm64: $there"
[[ -n $here && $here == "$there" ]] || { echo "arm64 computed other numbers than this machine" >&2; exit 1; }
echo "arm64: same numbers"
