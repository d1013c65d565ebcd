#!/usr/bin/env bash
# The fuzz target of the table operations (tests/tables/fuzz/): built by Clang
# with libFuzzer, ASan and UBSan in build-fuzz/, run on the seed corpus.
#   scripts/fuzz.sh [SECONDS] [LIBFUZZER OPTIONS...]
#       fuzzes for SECONDS (default 60) with one job; inputs that reach new
#       code go to build-fuzz/corpus/, inputs that fail to build-fuzz/findings/
#   scripts/fuzz.sh --replay
#       runs the target once on every seed file and stops (the test command
#       does this; it fails on the first seed that fails)
#   scripts/fuzz.sh --make-corpus
#       writes the seed corpus tests/tables/fuzz/corpus/ anew with its maker
# Limits for every run: 1 GiB resident, no single allocation above 256 MiB,
# inputs up to 64 KiB, 20 s for one input.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g" \
      -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14 "${launcher[@]}" \
      -DLANHE_FUZZ=ON -DLANHE_GUI=OFF -DLANHE_BENCH=OFF -DLANHE_TESTS=OFF \
      -DLANHE_WERROR=ON >/dev/null
cmake --build build-fuzz -j "${JOBS:-2}" --target table_fuzz table_fuzz_corpus

seeds=tests/tables/fuzz/corpus
limits=(-rss_limit_mb=1024 -malloc_limit_mb=256 -max_len=65536 -timeout=20)
case "${1:-}" in
  --replay)
    exec build-fuzz/bin/table_fuzz "${limits[@]}" "$seeds"/*
    ;;
  --make-corpus)
    rm -f "$seeds"/*
    exec build-fuzz/bin/table_fuzz_corpus "$seeds"
    ;;
esac
seconds=${1:-60}
shift || true
mkdir -p build-fuzz/corpus build-fuzz/findings
exec build-fuzz/bin/table_fuzz "${limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
     -artifact_prefix=build-fuzz/findings/ "$@" build-fuzz/corpus "$seeds"
