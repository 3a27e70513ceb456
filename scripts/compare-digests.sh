#!/usr/bin/env bash
# Checks that the differential tests of a tree where they ran without the
# plain solver (under qemu-user, or with the sanitizers) computed the numbers
# this machine's native build computes, where the plain solver checks them:
# the digests of every result, from the tree's last CTest log.
#
# Usage: scripts/compare-digests.sh TREE [NATIVE_BUILD_DIR]
#   NATIVE_BUILD_DIR  where this machine's core_tests is built: by default
#                     build, the folder of scripts/test.sh, whose core_tests is
#                     used as it is; a folder without a build is configured
#                     for the core alone
set -euo pipefail
cd "$(dirname "$0")/.."

tree=${1:?usage: scripts/compare-digests.sh TREE [NATIVE_BUILD_DIR]}
native=${2:-build}
fail() {
  echo "compare-digests: FAIL: $*" >&2
  exit 1
}

if [[ ! -f $native/CMakeCache.txt ]]; then
  cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMANNEQUIN_GUI=OFF -DMANNEQUIN_BENCHMARKS=OFF -DMANNEQUIN_KDL=OFF || fail "cmake configure of $native failed"
fi
cmake --build "$native" -j"$(nproc)" --target core_tests || fail "building core_tests in $native failed"
digests() { grep -E '^[a-z0-9 ]+, digest [0-9a-f]{16}$' | sort; }
here=$(MANNEQUIN_DIGEST_ONLY=1 "$native/tests/core_tests" --gtest_filter='Differential*' | digests)
there=$(digests <"$tree/Testing/Temporary/LastTest.log")
echo "$native:"$'\n'"$here"$'\n'"$tree:"$'\n'"$there"
[[ $(wc -l <<<"$here") == 5 && $here == "$there" ]] || fail "$tree computed other numbers than $native"
echo "compare-digests: $tree computed the same numbers as $native"
