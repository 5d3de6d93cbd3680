#!/usr/bin/env bash
# Builds the benchmarks in Release (build-release) and runs every bench_* program; each ends
# with its headline figure on one "name: value" line.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQ48_BENCH=ON
cmake --build build-release --target benchmarks -j2

status=0
for bench in build-release/bin/bench_*; do
    [[ -x $bench ]] || continue
    echo "== $(basename "$bench")"
    "$bench" "$@" || status=1
done
exit $status
