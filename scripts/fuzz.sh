#!/usr/bin/env bash
# Builds the pose text's fuzzer with clang and runs it for a bounded time
# under AddressSanitizer and UBSan, from the seed corpus of real poses.
# Usage: scripts/fuzz.sh [build-dir [seconds]]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-fuzz}
seconds=${2:-60}
scripts/install-deps.sh
CXX=clang++ cmake -S tests/fuzz -B "$build" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j"$(nproc)"

# What the fuzzer finds grows in a scratch corpus; the seeds stay as they are.
corpus="$build/corpus"
mkdir -p "$corpus"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$build/pose_text_fuzz" -max_total_time="$seconds" -timeout=10 -max_len=70000 -print_final_stats=1 \
  -dict=tests/fuzz/pose.dict -artifact_prefix="$build/" "$corpus" tests/fuzz/corpus
echo "fuzz: no crash, leak or failed check in $seconds s"
