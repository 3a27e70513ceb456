#!/usr/bin/env bash
# Installs, with apt-get, only the Debian packages this project needs that are
# missing; does nothing when everything is present. Safe to run repeatedly.
# With --cross it also installs the cross compiler and emulator that build
# and run the core's tests for 64-bit Arm.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config clang-format
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # the program: toolkit, GL and GLU
  libfltk1.3-dev libglu1-mesa-dev libgl-dev
  # driving the real program in tests
  xvfb xauth x11-utils xdotool xclip imagemagick libx11-dev
  # memory checks
  valgrind libclang-rt-14-dev clang
  # the kinematics peer in the benchmark
  liborocos-kdl-dev
  # packaging checks
  desktop-file-utils dpkg-dev file lintian appstream man-db groff-base
)

if [[ ${1:-} == --cross ]]; then
  packages+=(g++-aarch64-linux-gnu qemu-user)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
