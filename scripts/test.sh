#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test (first of all,
# every C++ file is checked against .clang-format):
#   1. the normal build: all tests under CTest (GUI tests headless);
#   2. a sanitizer build (ASan + UBSan) of the Qt-free libraries and their tests;
#   3. Clang: the table library with its thread-safety analysis as errors and
#      ThreadSanitizer, its tests run; the fuzz target (libFuzzer, ASan, UBSan)
#      run once over its seed corpus;
#   4. the Windows cross build of everything (Qt from scripts/qt-mingw.sh,
#      libxlsxwriter from scripts/xlsxwriter-mingw.sh), its
#      tests run under wine, the program's end-to-end run on Xvfb included,
#      and the shop's package (scripts/package-windows.sh) tried under wine.
# Build trees live in build/, build-asan/, build-tsan/, build-fuzz/ and build-win/
# beside this script's project.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

status=0

echo "== layout of the C++ files (clang-format)"
bash scripts/check-format.sh || status=1

echo "== normal build"
# Every option is given, so that a build tree configured otherwise before
# (by hand, or by an older version of this script) builds what is tested here.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLANHE_WERROR=ON \
      -DLANHE_GUI=ON -DLANHE_BENCH=ON -DLANHE_TESTS=ON >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest -j "$jobs" --timeout 300) || status=1

echo "== sanitizer build (the Qt-free libraries and their tests)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLANHE_SANITIZE=ON \
      -DLANHE_GUI=OFF -DLANHE_BENCH=OFF -DLANHE_TESTS=ON >/dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && ctest -j "$jobs" --timeout 600) || status=1

echo "== Clang: thread-safety analysis and ThreadSanitizer (table tests), fuzz corpus replay"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g" \
      -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14 -DLANHE_TSAN=ON \
      -DLANHE_GUI=OFF -DLANHE_BENCH=OFF -DLANHE_WERROR=ON >/dev/null
cmake --build build-tsan -j "$jobs" --target tables_tests
(cd build-tsan && ctest -R ThreadSafetyAnalysis) || status=1
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  build-tsan/tests/tables/tables_tests --gtest_brief=1 || status=1
mkdir -p build-fuzz
JOBS=$jobs bash scripts/fuzz.sh --replay >build-fuzz/replay.log 2>&1 || {
  cat build-fuzz/replay.log
  status=1
}
echo "fuzz corpus replay: $(grep -c '^Executed' build-fuzz/replay.log || true) seeds run"

echo "== Windows cross build (everything, with Qt for mingw-w64) under wine"
qt_prefix=$(bash scripts/qt-mingw.sh | tail -n 1)
xlsx_prefix=$(bash scripts/xlsxwriter-mingw.sh | tail -n 1)
export WINEDEBUG=-all WINEPREFIX="$root/build-win/.wine"
cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
      -DCMAKE_PREFIX_PATH="$qt_prefix;$xlsx_prefix" -DQT_HOST_PATH=/usr \
      -DLANHE_HOST_EDBTOOL="$root/build/bin/edbtool" \
      -DLANHE_WERROR=ON -DLANHE_GUI=ON -DLANHE_TESTS=ON -DLANHE_BENCH=OFF >/dev/null
cmake --build build-win -j "$jobs"
(cd build-win && ctest -j 1 --timeout 600) || status=1

echo "== Windows package (made, unzipped and started under wine)"
bash scripts/package-windows.sh || status=1

exit $status
