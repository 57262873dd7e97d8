#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs one.
# Usage: scripts/fuzz.sh NAME [SECONDS]   e.g. scripts/fuzz.sh bmp_read_fuzzer 300
# New corpus entries go to build/fuzz-corpus/NAME; the checked-in starting inputs in
# fuzz/corpus/NAME are read but never written.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
name=$1
seconds=${2:-60}
"$root/scripts/build-deps.sh" native
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build/fuzz" -G Ninja -DQDX_FUZZ=ON -DQDX_TESTS=OFF \
  -DQDX_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/fuzz" --target "$name"
mkdir -p "$root/build/fuzz-corpus/$name" "$root/fuzz/corpus/$name"
cd "$root/build/fuzz"
# Leaks inside third-party libraries that our code cannot reach.
export LSAN_OPTIONS=suppressions="$root/fuzz/lsan_suppressions.txt"
"./$name" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=4096 \
  "$root/build/fuzz-corpus/$name" "$root/fuzz/corpus/$name"
