#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test:
#   1. the normal build: all tests under CTest (GUI tests headless);
#   2. a sanitizer build (ASan + UBSan) of the Qt-free libraries and their tests;
#   3. the Windows cross build of everything (Qt from scripts/qt-mingw.sh,
#      libxlsxwriter from scripts/xlsxwriter-mingw.sh), its
#      tests run under wine, the program's end-to-end run on Xvfb included,
#      and the shop's package (scripts/package-windows.sh) tried under wine.
# Build trees live in build/, build-asan/ and build-win/ beside this script's project.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

status=0

echo "== normal build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLANHE_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest -j "$jobs" --timeout 300) || status=1

echo "== sanitizer build (the Qt-free libraries and their tests)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLANHE_SANITIZE=ON \
      -DLANHE_GUI=OFF -DLANHE_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && ctest -j "$jobs" --timeout 600) || status=1

echo "== Windows cross build (everything, with Qt for mingw-w64) under wine"
qt_prefix=$(bash scripts/qt-mingw.sh | tail -n 1)
xlsx_prefix=$(bash scripts/xlsxwriter-mingw.sh | tail -n 1)
export WINEDEBUG=-all WINEPREFIX="$root/build-win/.wine"
cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
      -DCMAKE_PREFIX_PATH="$qt_prefix;$xlsx_prefix" -DQT_HOST_PATH=/usr -DLANHE_GUI=ON \
      -DLANHE_HOST_EDBTOOL="$root/build/bin/edbtool" \
      -DLANHE_WERROR=ON -DLANHE_BENCH=OFF >/dev/null
cmake --build build-win -j "$jobs"
(cd build-win && ctest -j 1 --timeout 600) || status=1

echo "== Windows package (made, unzipped and started under wine)"
bash scripts/package-windows.sh || status=1

exit $status
