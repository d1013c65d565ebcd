#!/usr/bin/env bash
# Installs every Debian package that building, running and testing the program needs.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config git
  # GUI and printing
  qt6-base-dev qt6-base-dev-tools libqt6printsupport6 libgl-dev libx11-dev libxcb1-dev
  # libraries
  libgtest-dev libgmock-dev googletest libbenchmark-dev libsqlite3-dev
  nlohmann-json3-dev libcli11-dev
  # Excel export, the statistics window's charts
  libxlsxwriter-dev qt6-charts-dev libqt6opengl6-dev
  # headless and real-window GUI runs, screenshots, window manager for the X11 tests
  xvfb xauth x11-utils xdotool openbox imagemagick
  # tests read back what the program writes: the zip inside an .xlsx, the text of a PDF
  unzip poppler-utils
  # Qt's own Chinese texts (print preview, page setup, standard buttons, menus)
  qt6-translations-l10n
  # CJK fonts so that no caption shows empty boxes
  fonts-noto-cjk fonts-wqy-zenhei
  # Clang for the thread-safety analysis, ThreadSanitizer and the fuzz target (libFuzzer)
  clang-14 libclang-rt-14-dev llvm-14
  # the layout of every C++ file is checked by the test command
  clang-format
  # the Windows layer: cross compiler and a runner; Qt's Chinese translations and
  # python3 (zip with UTF-8 names) for the Windows package
  g++-mingw-w64-x86-64-posix wine wine64 qt6-translations-l10n python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
