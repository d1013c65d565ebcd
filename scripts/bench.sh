#!/usr/bin/env bash
# Builds the table benchmarks (Release) and runs them: each figure of the
# table operations beside SQLite doing the same work, then a summary with the
# targets. Extra arguments go to Google Benchmark (e.g. --benchmark_filter=Scan).
# TABLES_BENCH_QUICK=1 runs only the 100,000-row set; TABLES_BENCH_COMPARE=1 also
# times the scan with the keystream made by the reader alone and without read-ahead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DLANHE_GUI=OFF -DLANHE_BENCH=ON >/dev/null
cmake --build build-bench -j "${JOBS:-2}" --target tables_bench
exec build-bench/bin/tables_bench "$@"
