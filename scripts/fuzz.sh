#!/usr/bin/env bash
# Builds the fuzzers of the pose text, of the BVH reader, of a capture fitted
# of a picture's pose and of the library's reading of a picture with clang and runs each
# for a fifth of a bounded time under
# AddressSanitizer and UBSan, from its seed corpus of real files.
# Usage: scripts/fuzz.sh [build-dir [seconds]]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-fuzz}
seconds=${2:-60}
scripts/install-deps.sh
CXX=clang++ cmake -S tests/fuzz -B "$build" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j"$(nproc)"

# What a fuzzer finds grows in a scratch corpus; the seeds stay as they are.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run() {
  local target=$1 seeds=$2 dict=$3 time=$4
  mkdir -p "$build/corpus-$target"
  "$build/$target" -max_total_time="$time" -timeout=10 -max_len=70000 -print_final_stats=1 ${MALLOC_LIMIT:-} \
    -dict="$dict" -artifact_prefix="$build/$target-" "$build/corpus-$target" "$seeds"
}
run pose_text_fuzz tests/fuzz/corpus/pose tests/fuzz/pose.dict $((seconds / 5))
run bvh_fuzz tests/fuzz/corpus/bvh tests/fuzz/bvh.dict $((seconds / 5))
run capture_fuzz tests/fuzz/corpus/capture tests/fuzz/bvh.dict $((seconds / 5))
run picture_fuzz tests/fuzz/corpus/picture tests/fuzz/picture.dict $((seconds / 5))
# A thumbnail takes at most a large picture's pixels: more is a fault.
MALLOC_LIMIT=-malloc_limit_mb=64 run thumbnail_fuzz tests/fuzz/corpus/picture tests/fuzz/picture.dict \
  $((seconds - 4 * (seconds / 5)))
echo "fuzz: no crash, leak or failed check in $seconds s"
