#!/usr/bin/env bash
# Builds the benchmarks in Release (build-release) and runs every bench_* program, then repeats
# their figures, one "name: value unit" line each. Extra arguments go to every program.
# Everything runs on loopback and the simulator's own pty; see BENCHMARKS.md.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQ48_BENCH=ON
cmake --build build-release --target benchmarks -j2

export BENCHMARK_COLOR=false QT_QPA_PLATFORM=offscreen
log=build-release/bench-output.txt
: >"$log"
status=0
for bench in build-release/bin/bench_*; do
    [[ -x $bench ]] || continue
    echo "== $(basename "$bench")" | tee -a "$log"
    "$bench" "$@" | tee -a "$log" || status=1
done

echo "== figures ($(date -u +%FT%TZ), load average $(cut -d' ' -f1-3 /proc/loadavg))"
sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -E '^[A-Za-z0-9_]+: ' || true
exit $status
