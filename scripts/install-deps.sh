#!/usr/bin/env bash
# Installs, with apt-get, only the Debian packages this project needs that are
# missing; does nothing when everything is present. Safe to run repeatedly.
# With --run only what building and running the program needs (as
# scripts/run.sh wants), not the tools of the tests, CI and packaging.
# With --cross it also installs the cross compiler and emulator that build
# and run the core's tests for 64-bit Arm; with --cross-program, besides
# those, the arm64 toolkit, GL, GLU, PNG and zlib (through Debian's
# multiarch) that the whole program's arm64 build links and runs with.
set -euo pipefail

run_packages=(
  # build
  build-essential cmake
  # the program: toolkit, GL and GLU, PNG for its pictures, Xlib for the clipboard
  libfltk1.3-dev libglu1-mesa-dev libgl-dev libpng-dev libx11-dev
  # the core: zlib's CRC checks the pose a picture carries
  zlib1g-dev
)
packages=(
  "${run_packages[@]}"
  pkg-config clang-format
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # a photograph-sized JPEG written for the reference picture benchmark
  libjpeg-dev
  # driving the real program in tests (XTest sends bursts of events)
  xvfb xauth x11-utils xdotool xclip imagemagick libxtst-dev
  # holding the program at a fixed point while its X server is killed
  gdb
  # whole motion captures, for the longer check of fitting them
  assimp-testmodels
  # memory checks
  valgrind libclang-rt-14-dev clang
  # the kinematics peer in the benchmark
  liborocos-kdl-dev
  # packaging checks
  desktop-file-utils shared-mime-info dpkg-dev file lintian appstream man-db groff-base
)

foreign=()
case ${1:-} in
  --run)
    packages=("${run_packages[@]}")
    ;;
  --cross)
    packages+=(g++-aarch64-linux-gnu qemu-user)
    ;;
  --cross-program)
    packages+=(g++-aarch64-linux-gnu qemu-user)
    # The arm64 libraries install beside this machine's own; the Mesa drivers
    # are for running the arm64 program here under emulation.
    foreign=(libfltk1.3-dev:arm64 libglu1-mesa-dev:arm64 libgl-dev:arm64 libpng-dev:arm64 zlib1g-dev:arm64 libgl1-mesa-dri:arm64)
    ;;
  "") ;;
  *)
    echo "usage: $0 [--run | --cross | --cross-program]" >&2
    exit 2
    ;;
esac

# three.js reads the BVH export in the suite. Node.js from elsewhere may bring
# its own npm, which Debian's npm package would conflict with: look for the
# commands.
if [[ ${1:-} != --run ]]; then
  command -v node >/dev/null || packages+=(nodejs)
  command -v npm >/dev/null || packages+=(npm)
fi

# Once a second architecture is there, a name without one stands for every
# installed copy: look for the copy of this machine's own (or an
# architecture-independent package), or of the architecture named.
native=$(dpkg --print-architecture)
installed() {
  local arch=$native
  [[ $1 == *:* ]] && arch=${1#*:}
  dpkg-query -W -f='${Architecture} ${Status}\n' "$1" 2>/dev/null |
    grep -Eqx "($arch|all) install ok installed"
}
missing=()
for p in "${packages[@]}" "${foreign[@]}"; do
  installed "$p" || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  sudo_cmd=(sudo)
fi
if ((${#foreign[@]})) && ! dpkg --print-foreign-architectures | grep -qx arm64; then
  echo "Adding the arm64 architecture to dpkg"
  "${sudo_cmd[@]}" dpkg --add-architecture arm64
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
