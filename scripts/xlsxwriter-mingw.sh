#!/usr/bin/env bash
# Makes libxlsxwriter (with the zlib it needs) for Windows (x86_64, mingw-w64,
# static libraries), for the Windows program's Excel export, and prints the
# prefix as the last line:
#
#   bash scripts/xlsxwriter-mingw.sh
#
# The prefix is kept beside the Qt prefix of scripts/qt-mingw.sh:
#   ${LANHE_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/lanhe}/xlsxwriter-mingw-<version>
# It holds include/, lib/libxlsxwriter.a, lib/libz.a and
# lib/pkgconfig/xlsxwriter.pc and zlib.pc, which the Windows build finds with
# pkg-config (zlib also serves the tests' workbook reader).
#
# Both come from Debian's source packages (libxlsxwriter, zlib), built with
# Debian's mingw-w64 compilers in about a minute. One change to libxlsxwriter:
# with mingw it opens the workbook with the C library's narrow fopen, which
# Windows reads in the ANSI code page, so a UTF-8 path with Chinese in it
# fails; it is built to open files through the wide Windows calls as it does
# with Microsoft's compiler.
# A finished prefix is marked with a stamp; an unfinished one is made again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

xlsxwriter_version=1.1.4
# Changes whenever what goes into the prefix changes, so old caches are redone.
recipe="xlsxwriter-mingw $xlsxwriter_version zlib static wide-paths 2"
mingw=x86_64-w64-mingw32

cache_root=${LANHE_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/lanhe}
prefix=$cache_root/xlsxwriter-mingw-$xlsxwriter_version
stamp=$prefix/.lanhe-recipe
mkdir -p "$cache_root"

exec 9>"$cache_root/xlsxwriter-mingw.lock"
flock 9

if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$recipe" ]; then
  echo "$prefix"
  exit 0
fi

log() { echo "xlsxwriter-mingw: $*" >&2; }

# as_root, ensure_deb_src
source "$root/scripts/debian-source.sh"

# Unpacks Debian's source of package $1 into $work/$1. The newest version is
# tried first, then the older ones: a mirror may lack the security suite's.
fetch_source() {
  local package=$1 version
  local dir=$work/download-$package
  mkdir -p "$dir"
  for version in $(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -Vru); do
    if (cd "$dir" && apt-get source --download-only -qq "$package=$version" >/dev/null 2>&1); then
      local dsc
      dsc=$(ls "$dir"/*.dsc | head -n 1)
      dpkg-source -x "$dsc" "$work/$package" >"$work/dpkg-source-$package.log" 2>&1 || {
        cat "$work/dpkg-source-$package.log" >&2
        exit 1
      }
      log "unpacked $(basename "$dsc")"
      return 0
    fi
    rm -f "$dir"/*
  done
  echo "xlsxwriter-mingw: apt-get source $package failed" >&2
  exit 1
}

# zlib's library alone, compiled file by file: its build files are for the
# host.
build_zlib() {
  log "building zlib"
  local src=$work/zlib obj=$work/zlib-obj f
  mkdir -p "$obj" "$prefix/include" "$prefix/lib"
  for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast \
           inflate inftrees trees uncompr zutil; do
    "$mingw-gcc-posix" -O2 -c "$src/$f.c" -o "$obj/$f.o"
  done
  "$mingw-ar" rcs "$prefix/lib/libz.a" "$obj"/*.o
  cp "$src/zlib.h" "$src/zconf.h" "$prefix/include/"
  mkdir -p "$prefix/lib/pkgconfig"
  cat >"$prefix/lib/pkgconfig/zlib.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: zlib
Description: zlib compression library
Version: $(sed -n 's/^#define ZLIB_VERSION "\(.*\)"/\1/p' "$src/zlib.h")
Libs: -L\${libdir} -lz
Cflags: -I\${includedir}
EOF
}

build_xlsxwriter() {
  log "building libxlsxwriter"
  local src=$work/libxlsxwriter
  case "$(sed -n 's/^#define LXW_VERSION "\(.*\)"/\1/p' "$src/include/xlsxwriter.h")" in
    "$xlsxwriter_version") ;;
    *) echo "xlsxwriter-mingw: Debian's libxlsxwriter is not $xlsxwriter_version" >&2; exit 1 ;;
  esac
  # Wide-character file opening with mingw too (see the top of this file).
  sed -i 's/^#ifdef __MINGW32__$/#if 0/' "$src/src/packager.c" "$src/src/utility.c"
  sed -i 's|^    if(MSVC)$|    if(WIN32)|' "$src/CMakeLists.txt"
  grep -q 'third_party/minizip/iowin32.c' "$src/CMakeLists.txt" || {
    echo "xlsxwriter-mingw: libxlsxwriter's build file has changed" >&2
    exit 1
  }
  cmake -S "$src" -B "$work/xlsxwriter-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/qt-mingw-w64.toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib \
    -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a" \
    >"$work/xlsxwriter.log" 2>&1 &&
  cmake --build "$work/xlsxwriter-build" -j "$(nproc)" >>"$work/xlsxwriter.log" 2>&1 &&
  cmake --install "$work/xlsxwriter-build" >>"$work/xlsxwriter.log" 2>&1 || {
    tail -n 40 "$work/xlsxwriter.log" >&2
    exit 1
  }
  grep -q -- '-lxlsxwriter' "$prefix/lib/pkgconfig/xlsxwriter.pc"
}

work=$(mktemp -d "${TMPDIR:-/tmp}/lanhe-xlsxwriter-mingw.XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -rf "$prefix"
started=$SECONDS

ensure_deb_src libxlsxwriter
fetch_source zlib
fetch_source libxlsxwriter
build_zlib
build_xlsxwriter
echo "$recipe" >"$stamp"
log "made $prefix in $((SECONDS - started)) s"
echo "$prefix"
