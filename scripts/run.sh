#!/usr/bin/env bash
# Installs what is needed, builds the program and edbtool, creates the four
# tables beside the program where they are missing (existing ones are kept),
# gives new ones sample data, and starts the program in its folder. Needs a
# display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ -z "${DISPLAY:-}" ]; then
  echo "run.sh: no X display (DISPLAY is not set); start it from a desktop session," >&2
  echo "        or on a machine without one: xvfb-run -a bash scripts/run.sh" >&2
  exit 1
fi

bash scripts/setup.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLANHE_GUI=ON >/dev/null
cmake --build build -j "$(nproc)" --target lanhe-ledger edbtool

bin="$root/build/bin"
# Missing tables are made (edbtool init) and get a few days of sample
# business; existing data is never touched.
bash scripts/sample-data.sh "$bin/edbtool" "$bin"
cd "$bin"
# The single-instance check, the bring-forward and the Ctrl+B hot key work on
# X11 windows; on a Wayland desktop the program runs through XWayland.
export QT_QPA_PLATFORM=xcb
exec ./lanhe-ledger
