#!/usr/bin/env bash
# Builds the display-free core's tests for 64-bit Arm with Debian's cross
# compiler, runs them under qemu-user, and checks that the differential tests
# computed the same numbers there as on this machine.
# The arm64 tree is the one scripts/package-test-arm64.sh makes the arm64
# package in (Release, the program without its window's tests): one cross
# build serves both, whichever script comes first; so it needs what
# `scripts/install-deps.sh --cross-program` installs, the arm64 libraries
# that the program links among it.
#
# Usage: scripts/test-arm64.sh [arm-build-dir [native-build-dir]]
#   arm-build-dir     the shared arm64 tree (default build-arm64)
#   native-build-dir  where this machine's core_tests is built: by default
#                     build, the folder of scripts/test.sh, whose core_tests is
#                     used as it is; a folder without a build is configured
#                     for the core alone
set -euo pipefail
cd "$(dirname "$0")/.."

arm=${1:-build-arm64}
native=${2:-build}
scripts/install-deps.sh --cross-program

fail() {
  echo "test-arm64: FAIL: $*" >&2
  exit 1
}
step() { echo "== test-arm64: $*"; }
# arm64_cmake_args, the arm64 tree's settings.
source scripts/package-lib.sh

step "the core's tests in the arm64 tree $arm"
cmake -S . -B "$arm" "${package_cmake_args[@]}" "${arm64_cmake_args[@]}" || fail "cmake configure of $arm failed"
cmake --build "$arm" -j"$(nproc)" --target core_tests capture_tests || fail "building the arm64 tests failed"
file -b "$arm/tests/core_tests" | grep -q 'ARM aarch64' || fail "core_tests is not an arm64 program"
ctest --test-dir "$arm" --output-on-failure -j"$(nproc)" --timeout 900

# The same figures, solves and results, bit for bit: the digests of the
# differential tests, which ran the program's solver alone under qemu.
step "the same numbers as this machine's core_tests in $native"
scripts/compare-digests.sh "$arm" "$native"
