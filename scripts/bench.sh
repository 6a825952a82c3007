#!/usr/bin/env bash
# Builds the release preset and runs every benchmark (bench/, executables
# named bench_*). Each prints its own ratios against a baseline measured in
# the same run; see bench/README.md.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset release
cmake --build --preset release -j 2 --target benchmarks

status=0
found=0
for benchmark in build/release/bench/bench_*; do
    [ -f "$benchmark" ] && [ -x "$benchmark" ] || continue
    found=1
    echo "== $(basename "$benchmark")"
    "$benchmark" || status=1
done
if [ "$found" -eq 0 ]; then
    echo "no benchmark found in build/release/bench" >&2
    exit 1
fi
exit "$status"
