#!/usr/bin/env bash
# Reads the program's BVH export with Blender's importer, as a person opens
# it there: the humanoid at the start and posed, and generated figures, posed
# from a seed taken from the clock and printed (BVH_SEED=N runs one again).
# Installs Debian's blender when it is missing: a large install, which is why
# CI may run this beside another stage. The cases' writer is built in the
# folder given, configured for the core alone when it holds no build.
# Usage: scripts/blender-check.sh [build-dir]   (default: build-blender)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-blender}
seed=${BVH_SEED:-$(($(date +%s%N) % 4294967296))}
scripts/install-deps.sh
if ! command -v blender >/dev/null; then
  echo "Installing blender"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  # A stage beside this one may be using apt: wait for its lock.
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends blender
fi

if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S . -B "$build" -DMANNEQUIN_GUI=OFF -DMANNEQUIN_BENCHMARKS=OFF -DMANNEQUIN_KDL=OFF \
    --log-level=WARNING >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target bvh_write_cases >/dev/null

cases=$(mktemp -d)
trap 'rm -rf "$cases"' EXIT
echo "blender-check: seed $seed (BVH_SEED=$seed $0 $build runs these cases again)"
"$build/tests/bvh/bvh_write_cases" "$cases" "$seed" 8
files=()
for bvh in "$cases"/*.bvh; do files+=("$bvh" "${bvh%.bvh}.json"); done
blender -b --factory-startup -noaudio --python-exit-code 1 --python tests/bvh/blender_check.py -- "${files[@]}"
