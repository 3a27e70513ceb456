#!/usr/bin/env bash
# The three.js check of the suite: installs three.js from the lockfile into
# the build folder once (npm ci; from npm's cache when it has it), writes the
# BVH cases of a fixed seed and reads them with three.js's BVHLoader.
# Usage: threejs-check.sh WRITE-CASES-PROGRAM NODE-FOLDER [SEED]
set -euo pipefail
program=$1
node_folder=$2
seed=${3:-1}

for tool in node npm; do
  command -v "$tool" >/dev/null || { echo "threejs-check: $tool is missing: scripts/install-deps.sh installs it" >&2; exit 1; }
done
# The lockfile, copied beside the installed modules, tells whether they are current.
if ! cmp -s "$node_folder/package-lock.json" "$node_folder/node_modules/.installed-lock.json"; then
  (cd "$node_folder" && npm ci --prefer-offline --no-audit --no-fund --loglevel=error) ||
    { echo "threejs-check: npm ci of three.js failed" >&2; exit 1; }
  cp "$node_folder/package-lock.json" "$node_folder/node_modules/.installed-lock.json"
fi

cases=$(mktemp -d)
trap 'rm -rf "$cases"' EXIT
"$program" "$cases" "$seed" 20
node "$node_folder/threejs_check.mjs" "$cases"
