#!/usr/bin/env bash
# Builds the Debian package from a Release build, unpacks it into a scratch
# root and checks it the way an installed program is used: the right files in
# the right places, dependencies worked out from the linked libraries, a valid
# desktop entry, and a program that opens its window from where it was put.
# Usage: scripts/package-test.sh [BUILD_DIR]   (default: build-package)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build=${1:-build-package}
[[ $build == /* ]] || build="$root/$build"

fail() {
  echo "package-test: FAIL: $*" >&2
  exit 1
}
step() { echo "== package-test: $*"; }

scripts/install-deps.sh

step "configure and build (Release) in $build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DMANNEQUIN_TESTS=OFF -DMANNEQUIN_BENCHMARKS=OFF || fail "cmake configure failed"
cmake --build "$build" -j"$(nproc)" || fail "build failed"

step "cpack -G DEB"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB) || fail "cpack failed"

shopt -s nullglob
debs=("$build"/*.deb)
shopt -u nullglob
((${#debs[@]} == 1)) || fail "expected one .deb in $build, found ${#debs[@]}"
deb=${debs[0]}

# The version the package must carry is the one in project().
version=$(sed -n 's/^project(mannequin VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[[ -n $version ]] || fail "no project version in CMakeLists.txt"
arch=$(dpkg --print-architecture)
[[ $(basename "$deb") == "mannequin_${version}_${arch}.deb" ]] ||
  fail "package file is $(basename "$deb"), expected mannequin_${version}_${arch}.deb"

step "dpkg-deb -I $(basename "$deb")"
info=$(dpkg-deb -I "$deb") || fail "dpkg-deb -I cannot read $deb"
echo "$info"
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == mannequin ]] || fail "Package is '$(field Package)', expected mannequin"
[[ $(field Version) == "$version" ]] || fail "Version is '$(field Version)', expected $version"
[[ $(field Architecture) == "$arch" ]] || fail "Architecture is '$(field Architecture)', expected $arch"
[[ $(field Section) == graphics ]] || fail "Section is '$(field Section)', expected graphics"
[[ -n $(field Maintainer) ]] || fail "no Maintainer"
[[ -n $(field Description) ]] || fail "no Description"
depends=$(field Depends)
[[ -n $depends ]] || fail "no Depends: were the shared-library dependencies worked out?"
# The package names alone, one a line, alternatives included.
depnames=$(tr ',|' '\n\n' <<<"$depends" | sed -e 's/(.*)//' -e 's/^ *//' -e 's/ *$//')
needs() { grep -Fxq "$1" <<<"$depnames"; }
for lib in libc6 libstdc++6 libfltk1.3 libfltk-gl1.3 libglu1-mesa; do
  needs "$lib" || fail "Depends does not list $lib: $depends"
done
# GL comes through GLVND's libOpenGL or the classic libGL, whichever was linked.
needs libopengl0 || needs libgl1 || fail "Depends lists no GL library: $depends"

step "contents"
contents=$(dpkg-deb -c "$deb") || fail "dpkg-deb -c cannot read $deb"
echo "$contents"
allowed='^\./usr/(bin/mannequin|share/applications/mannequin\.desktop|share/icons/hicolor/[0-9]+x[0-9]+/apps/mannequin\.png|share/metainfo/io\.github\.mannequin_developers\.mannequin\.metainfo\.xml|share/man/man1/mannequin\.1\.gz|share/doc/mannequin/(copyright|changelog\.gz))$'
# Anything but a directory must be one of the program's own files.
strays=$(awk '$1 !~ /^d/ { print $NF }' <<<"$contents" | grep -Ev "$allowed" || true)
[[ -z $strays ]] || fail "files in the package that are not the program's own:"$'\n'"$strays"

step "unpack into a scratch root"
scratch="$build/package-root"
rm -rf "$scratch"
mkdir -p "$scratch"
dpkg -x "$deb" "$scratch" || fail "dpkg -x failed"

bin="$scratch/usr/bin/mannequin"
[[ -f $bin && -x $bin ]] || fail "usr/bin/mannequin is missing or not executable"
file -b "$bin" | grep -q '^ELF .*executable' ||
  fail "usr/bin/mannequin is not an ELF program: $(file -b "$bin")"
# It must find its libraries on the system, not in a build tree.
if readelf -d "$bin" | grep -Eq '\((RPATH|RUNPATH)\)'; then
  fail "usr/bin/mannequin carries a library search path: $(readelf -d "$bin" | grep -E 'RPATH|RUNPATH')"
fi
if ldd "$bin" | grep -q 'not found'; then
  fail "usr/bin/mannequin has missing libraries:"$'\n'"$(ldd "$bin" | grep 'not found')"
fi

desktop="$scratch/usr/share/applications/mannequin.desktop"
[[ -f $desktop ]] || fail "usr/share/applications/mannequin.desktop is missing"
desktop-file-validate "$desktop" || fail "the desktop entry does not validate"
grep -qx 'Exec=mannequin' "$desktop" || fail "the desktop entry does not start mannequin"
grep -qx 'Icon=mannequin' "$desktop" || fail "the desktop entry does not name the mannequin icon"

icons=0
for dir in "$scratch"/usr/share/icons/hicolor/*x*/apps; do
  [[ -d $dir ]] || continue
  size=$(basename "$(dirname "$dir")")
  icon="$dir/mannequin.png"
  [[ -f $icon ]] || fail "no mannequin.png in hicolor/$size/apps"
  kind=$(file -b "$icon")
  [[ $kind == "PNG image data, ${size/x/ x }"* ]] ||
    fail "hicolor/$size/apps/mannequin.png is not a ${size} PNG: $kind"
  icons=$((icons + 1))
done
((icons > 0)) || fail "no icon in usr/share/icons/hicolor"

step "lintian"
# Every tag lintian reports at error or warning level fails the package;
# the informational ones are shown.
# As an ordinary user, which lintian asks for, when this runs as root.
as_user=()
checked=$deb
if [[ $(id -u) -eq 0 ]] && id nobody >/dev/null 2>&1; then
  as_user=(runuser -u nobody --)
  # A copy that the user can read, wherever the build folder is.
  shared=$(mktemp -d)
  chmod 755 "$shared"
  install -m 644 "$deb" "$shared/"
  checked="$shared/$(basename "$deb")"
fi
lintian_out=$("${as_user[@]}" lintian --fail-on error,warning --display-info "$checked" 2>&1) ||
  fail "lintian:"$'\n'"$lintian_out"
[[ $checked == "$deb" ]] || rm -rf "$(dirname "$checked")"
echo "${lintian_out:-lintian: nothing to report}"

step "AppStream metadata"
metainfo="$scratch/usr/share/metainfo/io.github.mannequin_developers.mannequin.metainfo.xml"
[[ -f $metainfo ]] || fail "no AppStream metadata in usr/share/metainfo"
appstreamcli validate --no-net "$metainfo" || fail "the AppStream metadata does not validate"
grep -q '<launchable type="desktop-id">mannequin.desktop</launchable>' "$metainfo" ||
  fail "the AppStream metadata does not name the desktop entry"

step "manual page, copyright and changelog"
man_page="$scratch/usr/share/man/man1/mannequin.1.gz"
[[ -f $man_page ]] || fail "no manual page mannequin(1)"
man_warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$man_page" 2>&1 >/dev/null)
[[ -z $man_warnings ]] || fail "the manual page has warnings:"$'\n'"$man_warnings"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  "$scratch/usr/share/doc/mannequin/copyright" || fail "the copyright file is not in the machine-readable form"
zcat "$scratch/usr/share/doc/mannequin/changelog.gz" | head -n 1 | grep -q "^mannequin ($version)" ||
  fail "the changelog's first entry is not version $version"

step "start the installed program under a private Xvfb"
# The installed program, started from elsewhere, must open its window; then
# it is simply ended.
# shellcheck disable=SC2016
tests/run-with-xvfb.sh bash -c '
  set -u
  cd /
  "$1" & pid=$!
  start=$(date +%s%N)
  for _ in $(seq 500); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"; echo "package-test: the program exited (status $?) before its window appeared" >&2
      exit 1
    fi
    win=$(timeout 2 xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1)
    if [[ -n $win ]]; then
      echo "window $win after $((($(date +%s%N) - start) / 1000000)) ms"
      kill "$pid"; wait "$pid" 2>/dev/null
      exit 0
    fi
    sleep 0.02
  done
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  echo "package-test: no window from the installed program within 10 s" >&2
  exit 1
' package-window "$bin" || fail "the installed program did not show its window"

size=$(stat -c %s "$deb")
step "package $(basename "$deb"): $size bytes ($(du -h "$deb" | cut -f1)), installed size $(field Installed-Size) KiB"
echo "package-test: OK"
