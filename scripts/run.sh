#!/usr/bin/env bash
# Installs what is needed, builds the program and edbtool, creates the four
# tables beside the program where they are missing (edbtool init keeps the
# ones that exist) and starts the program in its folder. Needs a display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target lanhe-ledger edbtool

bin="$root/build/bin"
"$bin/edbtool" init "$bin"
cd "$bin"
exec ./lanhe-ledger
