#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs every one; each prints its figures.
# They run inside build/bench, so whatever files they leave stay under build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQDX_BENCH=ON -DQDX_TESTS=OFF >/dev/null
cmake --build "$root/build/bench"
cd "$root/build/bench"
for program in "$root"/build/bench/bench_*; do
  [ -x "$program" ] || continue
  echo "== $(basename "$program")"
  "$program" "$@"
done
