#!/usr/bin/env bash
# Makes the Qt 6.4.2 prefix for Windows (x86_64, mingw-w64, shared libraries)
# that the Windows build links against, and prints its path as the last line.
#
#   bash scripts/qt-mingw.sh [--from-source]
#
# The prefix is kept outside the build trees, so that removing them does not
# cost a Qt build:
#   ${LANHE_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/lanhe}/qt6-mingw-6.4.2
# It holds Qt's Core, Gui, Widgets and PrintSupport with the qwindows,
# qoffscreen, qminimal and qdirect2d platform plugins and the Vista style,
# the three mingw runtime DLLs in bin/, and QtTest for the page tests.
#
# Where it comes from:
#   - the ready-built base in ../shared/qt6-mingw/qt6-mingw-6.4.2.tar.xz,
#     when that file is there and its sha256 is the one below: unpacked;
#   - otherwise (or with --from-source) Debian's source package qt6-base,
#     built here with Debian's mingw-w64 compilers (about 20 minutes on two
#     cores).
#   QtTest is built from the same Debian source in both cases (about two
#   minutes), against the base prefix, as Qt builds its add-on modules.
# A finished prefix is marked with a stamp; an unfinished one is made again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

qt_version=6.4.2
tarball_name=qt6-mingw-$qt_version.tar.xz
tarball_sha256=0431182253af6c0b1b3a48854b0be94afe1f83488bf0afc769cf542c28f6d3fc
# Changes whenever what goes into the prefix changes, so old caches are redone.
recipe="qt6-mingw $qt_version base+testlib 1"
mingw=x86_64-w64-mingw32

from_source=
case "${1:-}" in
  --from-source) from_source=1 ;;
  "") ;;
  *) echo "usage: $0 [--from-source]" >&2; exit 2 ;;
esac

cache_root=${LANHE_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/lanhe}
prefix=$cache_root/qt6-mingw-$qt_version
stamp=$prefix/.lanhe-recipe
mkdir -p "$cache_root"

# One maker at a time per cache; the others wait and then find it made.
exec 9>"$cache_root/qt6-mingw.lock"
flock 9

if [ -z "$from_source" ] && [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$recipe" ]; then
  echo "$prefix"
  exit 0
fi

log() { echo "qt-mingw: $*" >&2; }

# The shared folder lies beside the repository; a worktree also looks beside
# the main checkout.
find_tarball() {
  local dirs=()
  [ -n "${LANHE_SHARED_DIR:-}" ] && dirs+=("$LANHE_SHARED_DIR")
  dirs+=("$root/../shared")
  local common
  if common=$(git -C "$root" rev-parse --path-format=absolute --git-common-dir 2>/dev/null); then
    dirs+=("$(dirname "$common")/../shared")
  fi
  local d
  for d in "${dirs[@]}"; do
    if [ -f "$d/qt6-mingw/$tarball_name" ]; then
      echo "$d/qt6-mingw/$tarball_name"
      return 0
    fi
  done
  return 1
}

# as_root, ensure_deb_src
source "$root/scripts/debian-source.sh"

# Unpacks Debian's qt6-base source (with Debian's patches) into $work/qtbase.
fetch_source() {
  [ -d "$work/qtbase" ] && return 0
  ensure_deb_src qt6-base
  log "fetching Debian's qt6-base source"
  mkdir -p "$work/download"
  (cd "$work/download" && apt-get source --download-only -qq qt6-base >/dev/null 2>&1) || {
    echo "qt-mingw: apt-get source qt6-base failed" >&2
    exit 1
  }
  local dsc
  dsc=$(ls "$work"/download/qt6-base_*.dsc)
  case "$(basename "$dsc")" in
    qt6-base_"$qt_version"+*) ;;
    *) echo "qt-mingw: Debian's qt6-base is not $qt_version: $(basename "$dsc")" >&2; exit 1 ;;
  esac
  # Its warnings (no key to check the signature, a patch touching one file
  # twice) are Debian's and harmless; only a failure is shown.
  dpkg-source -x "$dsc" "$work/qtbase" >"$work/dpkg-source.log" 2>&1 || {
    cat "$work/dpkg-source.log" >&2
    exit 1
  }
}

launchers=()
if command -v ccache >/dev/null; then
  launchers=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

build_base_from_source() {
  fetch_source
  log "building Qt $qt_version for Windows from source (about 20 minutes)"
  local options=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/qt-mingw-w64.toolchain.cmake"
    -DCMAKE_INSTALL_PREFIX="$prefix"
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DQT_BUILD_TOOLS_WHEN_CROSSCOMPILING=OFF
  )
  local f
  for f in gui widgets printsupport freetype harfbuzz; do options+=(-DFEATURE_$f=ON); done
  # direct2d stays on: Qt6PrintSupport calls the DirectWrite font engine
  # that Qt6Gui builds only with it. Debian's source has no wintab, hence
  # no tablet events.
  for f in network sql dbus testlib concurrent xml opengl vulkan icu zstd pkg_config \
           tabletevent jpeg system_zlib system_png system_jpeg system_freetype \
           system_harfbuzz system_pcre2 system_doubleconversion system_textmarkdownreader \
           system_libb2; do
    options+=(-DFEATURE_$f=OFF)
  done
  options+=(-DINPUT_opengl=no)
  CCACHE_BASEDIR=$work cmake -S "$work/qtbase" -B "$work/build" -G Ninja "${launchers[@]}" \
    "${options[@]}" >"$work/configure.log" 2>&1 || {
    tail -n 40 "$work/configure.log" >&2
    exit 1
  }
  CCACHE_BASEDIR=$work cmake --build "$work/build" -j "$(nproc)" >"$work/build.log" 2>&1 || {
    tail -n 40 "$work/build.log" >&2
    exit 1
  }
  cmake --install "$work/build" >/dev/null
  # The prefix must work wherever it is unpacked: its toolchain file goes
  # with it and is loaded relative to qt.toolchain.cmake.
  local qtcmake=$prefix/lib/cmake/Qt6
  cp "$root/cmake/qt-mingw-w64.toolchain.cmake" "$qtcmake/mingw-w64-x86_64-posix.toolchain.cmake"
  sed -i 's|^set(__qt_initially_configured_toolchain_file .*|set(__qt_initially_configured_toolchain_file "${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64-posix.toolchain.cmake")|' \
    "$qtcmake/qt.toolchain.cmake"
  # A posix-thread build needs these beside the program.
  local gcc_dir
  gcc_dir=$(dirname "$("$mingw-g++-posix" -print-libgcc-file-name)")
  cp "$gcc_dir/libgcc_s_seh-1.dll" "$gcc_dir/libstdc++-6.dll" \
     "/usr/$mingw/lib/libwinpthread-1.dll" "$prefix/bin/"
}

unpack_base() {
  log "unpacking $1"
  mkdir -p "$prefix"
  tar -xJf "$1" -C "$prefix"
}

add_testlib() {
  fetch_source
  log "building QtTest for Windows"
  local addon=$work/testlib
  mkdir -p "$addon"
  cp "$root/cmake/qt-test-addon/CMakeLists.txt" "$work/qtbase/.cmake.conf" \
     "$work/qtbase/sync.profile" "$addon/"
  ln -s "$work/qtbase/src" "$addon/src"
  CCACHE_BASEDIR=$work cmake -S "$addon" -B "$addon/build" -G Ninja "${launchers[@]}" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    >"$work/testlib.log" 2>&1 &&
  CCACHE_BASEDIR=$work cmake --build "$addon/build" -j "$(nproc)" >>"$work/testlib.log" 2>&1 &&
  cmake --install "$addon/build" >>"$work/testlib.log" 2>&1 || {
    tail -n 40 "$work/testlib.log" >&2
    exit 1
  }
}

strip_dlls() {
  find "$prefix/bin" "$prefix/plugins" -name '*.dll' -exec "$mingw-strip" --strip-unneeded {} +
}

work=$(mktemp -d "${TMPDIR:-/tmp}/lanhe-qt-mingw.XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -rf "$prefix"
started=$SECONDS

tarball=
if [ -z "$from_source" ] && tarball=$(find_tarball); then
  if [ "$(sha256sum "$tarball" | cut -d' ' -f1)" = "$tarball_sha256" ]; then
    unpack_base "$tarball"
  else
    log "$tarball has another checksum than expected: building from source instead"
    tarball=
  fi
fi
if [ ! -d "$prefix/lib/cmake/Qt6" ]; then
  build_base_from_source
fi
add_testlib
strip_dlls
echo "$recipe" >"$stamp"
log "made $prefix in $((SECONDS - started)) s"
echo "$prefix"
