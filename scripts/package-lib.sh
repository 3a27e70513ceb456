# What scripts/package-test.sh and scripts/package-test-arm64.sh share: the
# package's build and the checks that hold for every architecture; and the
# arm64 tree's settings, which scripts/test-arm64.sh shares too. Source it;
# it runs nothing by itself. The caller defines fail and step, and runs from
# the repository's top.

# The checks look for exactly these files (directories aside).
package_files='^\./usr/(bin/mannequin|share/applications/mannequin\.desktop|share/mime/packages/mannequin\.xml|share/icons/hicolor/[0-9]+x[0-9]+/apps/mannequin\.png|share/metainfo/io\.github\.mannequin_developers\.mannequin\.metainfo\.xml|share/man/man1/mannequin\.1\.gz|share/doc/mannequin/(copyright|changelog\.gz)|share/mannequin/import-bvh\.py|share/mannequin/poses/[a-z-]+\.png)$'

# A package's build: Release at -O2, as Debian builds its packages, the
# program alone unless more is asked for.
package_cmake_args=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DMANNEQUIN_TESTS=OFF
  -DMANNEQUIN_BENCHMARKS=OFF)
# The arm64 package's tree also holds the display-free core's tests, which
# scripts/test-arm64.sh runs under qemu: one cross build serves both, so both
# scripts configure it alike.
arm64_cmake_args=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux-gnu.cmake"
  -DMANNEQUIN_TESTS=ON -DMANNEQUIN_GUI_TESTS=OFF -DMANNEQUIN_KDL=OFF)

# package_build BUILD [CMAKE_ARGS...]: a Release build in BUILD, with
# package_cmake_args and then CMAKE_ARGS, packaged by CPack; sets deb to the
# one package made. With PACKAGE_TREE_AS_CONFIGURED=1 a tree already
# configured is built and packaged as it is (CI packages the README's build,
# whose program the tests ran, rather than build it once more).
package_build() {
  local build=$1
  shift
  if [[ ${PACKAGE_TREE_AS_CONFIGURED:-} == 1 && -f $build/CMakeCache.txt ]]; then
    step "build in $build, as it is configured"
  else
    step "configure and build (Release) in $build"
    cmake -S . -B "$build" "${package_cmake_args[@]}" "$@" || fail "cmake configure failed"
  fi
  cmake --build "$build" -j"$(nproc)" || fail "build failed"

  step "cpack -G DEB"
  rm -f "$build"/*.deb
  (cd "$build" && cpack -G DEB) || fail "cpack failed"

  local debs
  shopt -s nullglob
  debs=("$build"/*.deb)
  shopt -u nullglob
  ((${#debs[@]} == 1)) || fail "expected one .deb in $build, found ${#debs[@]}"
  deb=${debs[0]}
}

# The version every package must carry: the one in project().
package_version() {
  local version
  version=$(sed -n 's/^project(mannequin VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  [[ -n $version ]] || fail "no project version in CMakeLists.txt"
  echo "$version"
}

# The package names in DEB's Depends, one a line, alternatives included.
package_depends() {
  dpkg-deb -f "$1" Depends | tr ',|' '\n\n' | sed -e 's/(.*)//' -e 's/^ *//' -e 's/ *$//'
}

# package_check DEB ARCH SCRATCH: checks the package DEB for the Debian
# architecture ARCH, unpacked into the folder SCRATCH (made anew): control
# fields, Depends, the files and where they go, the program's ELF header, the
# desktop entry, the media type, icons, lintian, AppStream metadata, manual page, copyright
# and changelog. Everything but running the program.
package_check() {
  local deb=$1 arch=$2 scratch=$3 version
  version=$(package_version)
  [[ $(basename "$deb") == "mannequin_${version}_${arch}.deb" ]] ||
    fail "package file is $(basename "$deb"), expected mannequin_${version}_${arch}.deb"

  step "dpkg-deb -I $(basename "$deb")"
  local info
  info=$(dpkg-deb -I "$deb") || fail "dpkg-deb -I cannot read $deb"
  echo "$info"
  field() { dpkg-deb -f "$deb" "$1"; }
  [[ $(field Package) == mannequin ]] || fail "Package is '$(field Package)', expected mannequin"
  [[ $(field Version) == "$version" ]] || fail "Version is '$(field Version)', expected $version"
  [[ $(field Architecture) == "$arch" ]] || fail "Architecture is '$(field Architecture)', expected $arch"
  [[ $(field Section) == graphics ]] || fail "Section is '$(field Section)', expected graphics"
  [[ -n $(field Maintainer) ]] || fail "no Maintainer"
  [[ -n $(field Description) ]] || fail "no Description"
  local depends depnames
  depends=$(field Depends)
  [[ -n $depends ]] || fail "no Depends: were the shared-library dependencies worked out?"
  depnames=$(package_depends "$deb")
  needs() { grep -Fxq "$1" <<<"$depnames"; }
  for lib in libc6 libstdc++6 libfltk1.3 libfltk-gl1.3 libglu1-mesa; do
    needs "$lib" || fail "Depends does not list $lib: $depends"
  done
  # GL comes through GLVND's libOpenGL or the classic libGL, whichever was linked.
  needs libopengl0 || needs libgl1 || fail "Depends lists no GL library: $depends"

  step "contents"
  local contents strays
  contents=$(dpkg-deb -c "$deb") || fail "dpkg-deb -c cannot read $deb"
  echo "$contents"
  # Anything but a directory must be one of the program's own files.
  strays=$(awk '$1 !~ /^d/ { print $NF }' <<<"$contents" | grep -Ev "$package_files" || true)
  [[ -z $strays ]] || fail "files in the package that are not the program's own:"$'\n'"$strays"

  step "unpack into a scratch root"
  rm -rf "$scratch"
  mkdir -p "$scratch"
  dpkg -x "$deb" "$scratch" || fail "dpkg -x failed"
  # The starter poses, each picture still carrying its pose: nothing on the
  # way may strip its text chunk.
  local poses=("$scratch"/usr/share/mannequin/poses/*.png) pose
  ((${#poses[@]} >= 24)) || fail "the package holds ${#poses[@]} starter poses, not 24 or more"
  for pose in "${poses[@]}"; do
    grep -q 'mannequin pose' "$pose" || fail "$(basename "$pose") carries no pose"
  done

  local bin=$scratch/usr/bin/mannequin machine
  [[ -f $bin && -x $bin ]] || fail "usr/bin/mannequin is missing or not executable"
  case $arch in
    amd64) machine='x86-64' ;;
    arm64) machine='ARM aarch64' ;;
    *) fail "no ELF machine known for $arch" ;;
  esac
  file -b "$bin" | grep -q "^ELF .*executable, $machine," ||
    fail "usr/bin/mannequin is not an ELF program for $arch: $(file -b "$bin")"
  file -b "$bin" | grep -q ', stripped$' || fail "usr/bin/mannequin is not stripped: $(file -b "$bin")"
  # It must find its libraries on the system, not in a build tree.
  if readelf -d "$bin" | grep -Eq '\((RPATH|RUNPATH)\)'; then
    fail "usr/bin/mannequin carries a library search path: $(readelf -d "$bin" | grep -E 'RPATH|RUNPATH')"
  fi

  local desktop=$scratch/usr/share/applications/mannequin.desktop
  [[ -f $desktop ]] || fail "usr/share/applications/mannequin.desktop is missing"
  desktop-file-validate "$desktop" || fail "the desktop entry does not validate"
  grep -qx 'Exec=mannequin %f' "$desktop" || fail "the desktop entry does not start mannequin with a file"
  grep -qx 'MimeType=application/x-mannequin-pose;' "$desktop" || fail "the desktop entry does not open pose files"
  grep -qx 'Icon=mannequin' "$desktop" || fail "the desktop entry does not name the mannequin icon"

  local icons=0 dir size icon kind
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

  step "the pose files' media type"
  # As the desktop's database would take it: by name and by content.
  local mime=$scratch/mime-check/mime
  mkdir -p "$mime/packages"
  cp "$scratch/usr/share/mime/packages/mannequin.xml" "$mime/packages/" ||
    fail "no usr/share/mime/packages/mannequin.xml"
  update-mime-database "$mime" >/dev/null 2>&1 || fail "the media type does not build into a database"
  grep -qx '50:application/x-mannequin-pose:\*\.pose' "$mime/globs2" || fail "*.pose is not a pose file"
  grep -q 'mannequin pose' "$mime/magic" || fail "a file beginning 'mannequin pose' is not a pose file"
  rm -rf "$scratch/mime-check"

  step "lintian"
  # Every tag lintian reports at error or warning level fails the package;
  # the informational ones are shown.
  # As an ordinary user, which lintian asks for, when this runs as root.
  local as_user=() checked=$deb shared lintian_out
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
  local metainfo=$scratch/usr/share/metainfo/io.github.mannequin_developers.mannequin.metainfo.xml
  [[ -f $metainfo ]] || fail "no AppStream metadata in usr/share/metainfo"
  appstreamcli validate --no-net "$metainfo" || fail "the AppStream metadata does not validate"
  grep -q '<launchable type="desktop-id">mannequin.desktop</launchable>' "$metainfo" ||
    fail "the AppStream metadata does not name the desktop entry"
  grep -q '<mediatype>application/x-mannequin-pose</mediatype>' "$metainfo" ||
    fail "the AppStream metadata does not name the pose files' media type"

  step "manual page, copyright and changelog"
  local man_page=$scratch/usr/share/man/man1/mannequin.1.gz man_warnings
  [[ -f $man_page ]] || fail "no manual page mannequin(1)"
  man_warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$man_page" 2>&1 >/dev/null)
  [[ -z $man_warnings ]] || fail "the manual page has warnings:"$'\n'"$man_warnings"
  grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$scratch/usr/share/doc/mannequin/copyright" || fail "the copyright file is not in the machine-readable form"
  zcat "$scratch/usr/share/doc/mannequin/changelog.gz" | head -n 1 | grep -q "^mannequin ($version)" ||
    fail "the changelog's first entry is not version $version"
}

# package_summary DEB: its size and installed size, for the last line.
package_summary() {
  step "package $(basename "$1"): $(stat -c %s "$1") bytes ($(du -h "$1" | cut -f1)), installed size $(dpkg-deb -f "$1" Installed-Size) KiB"
}
