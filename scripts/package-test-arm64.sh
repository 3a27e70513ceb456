#!/usr/bin/env bash
# Builds the Debian package for 64-bit Arm with Debian's cross compiler and
# the arm64 libraries of the multiarch install, checks it as
# scripts/package-test.sh checks this machine's (the same files as the amd64
# package; Depends worked out from the arm64 libraries), then runs its
# program the way an arm64 user would, unpacked and under qemu-user with
# those libraries, on a private Xvfb, beside the amd64 package's program
# driven by the same input (tests/gui/package_arm64_session.sh).
# Nothing here runs on Arm hardware: the program is checked under emulation.
#
# Usage: scripts/package-test-arm64.sh [ARM64_BUILD [AMD64_BUILD [TEST_BUILD]]]
#   ARM64_BUILD  the arm64 package's build (default build-arm64); it holds the
#                core's tests too, the tree of scripts/test-arm64.sh
#   AMD64_BUILD  the amd64 package's build, as scripts/package-test.sh makes
#                it (default build-package); brought up to date here
#   TEST_BUILD   a build with the tests, for its wm_close helper (default
#                build, as scripts/test.sh makes it)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

absolute() { [[ $1 == /* ]] && echo "$1" || echo "$root/$1"; }
arm=$(absolute "${1:-build-arm64}")
amd=$(absolute "${2:-build-package}")
tests=$(absolute "${3:-build}")
arch=arm64
triplet=aarch64-linux-gnu

fail() {
  echo "package-test-arm64: FAIL: $*" >&2
  exit 1
}
step() { echo "== package-test-arm64: $*"; }

scripts/install-deps.sh --cross-program

# package_build, package_check, package_depends, package_summary.
source scripts/package-lib.sh

started=$(date +%s)
package_build "$arm" "${arm64_cmake_args[@]}"
arm_deb=$deb
package_check "$arm_deb" "$arch" "$arm/package-root"
arm_bin="$arm/package-root/usr/bin/mannequin"

# ---- Depends from the arm64 libraries

step "Depends against the arm64 libraries"
# Every library the program names must be an arm64 one of the multiarch
# install, in a package that Depends lists: dpkg-shlibdeps read the arm64
# packages' symbols files, not this machine's.
depnames=$(package_depends "$arm_deb")
needed=$(readelf -d "$arm_bin" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')
[[ -n $needed ]] || fail "usr/bin/mannequin names no shared library"
for soname in $needed; do
  owner=
  for dir in /usr/lib/$triplet /lib/$triplet; do
    owner=$(dpkg -S "$dir/$soname" 2>/dev/null | head -n 1 | cut -d: -f1,2) && [[ -n $owner ]] && break
  done
  [[ -n $owner ]] || fail "$soname belongs to no installed package in /usr/lib/$triplet"
  [[ $owner == *:$arch ]] || fail "$soname comes from $owner, not from an $arch package"
  grep -Fxq "${owner%:*}" <<<"$depnames" ||
    fail "$soname is in ${owner%:*}, which Depends does not list: $(dpkg-deb -f "$arm_deb" Depends)"
  echo "$soname: $owner"
done
# The arm64 loader, run by qemu, finds every one of them.
libraries=$(qemu-aarch64 -L / -E LD_TRACE_LOADED_OBJECTS=1 "$arm_bin") ||
  fail "the arm64 loader cannot list the program's libraries"
if grep -q 'not found' <<<"$libraries"; then
  fail "usr/bin/mannequin has missing arm64 libraries:"$'\n'"$(grep 'not found' <<<"$libraries")"
fi
arm_build_seconds=$(($(date +%s) - started))

# ---- the amd64 package: the same files, the same dependencies

step "the amd64 package, for comparison"
package_build "$amd"
amd_deb=$deb
rm -rf "$amd/package-root"
mkdir -p "$amd/package-root"
dpkg -x "$amd_deb" "$amd/package-root" || fail "dpkg -x $amd_deb failed"
echo "== dpkg-deb -I $(basename "$amd_deb")"
dpkg-deb -I "$amd_deb"

step "the same files and dependencies as $(basename "$amd_deb")"
# Type, permissions, owner and path; sizes and times may differ.
listing() { dpkg-deb -c "$1" | awk '{ print $1, $2, $NF }'; }
difference=$(diff <(listing "$amd_deb") <(listing "$arm_deb")) ||
  fail "the files differ from the amd64 package's (< amd64, > arm64):"$'\n'"$difference"
echo "$(listing "$arm_deb" | grep -vc '^d') files, as in the amd64 package"
difference=$(diff <(package_depends "$amd_deb" | sort) <(package_depends "$arm_deb" | sort)) ||
  fail "Depends names other packages than the amd64 package's (< amd64, > arm64):"$'\n'"$difference"
echo "the same packages in Depends"

# ---- run as an arm64 user would

step "the close helper from the test build in $tests"
if [[ ! -f $tests/CMakeCache.txt ]]; then
  cmake -S . -B "$tests" || fail "cmake configure of $tests failed"
fi
cmake --build "$tests" -j"$(nproc)" --target wm_close || fail "building wm_close failed"

step "the arm64 program under qemu-aarch64, then the amd64 one, on a private Xvfb"
session_started=$(date +%s)
tests/run-with-xvfb.sh bash tests/gui/package_arm64_session.sh \
  "$arm/package-root" "$amd/package-root" "$tests/tests/gui/wm_close" ||
  fail "the programs did not behave alike"

package_summary "$arm_deb"
echo "package-test-arm64: build and package checks ${arm_build_seconds} s, sessions $(($(date +%s) - session_started)) s"
echo "package-test-arm64: OK"
