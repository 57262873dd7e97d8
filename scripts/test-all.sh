#!/usr/bin/env bash
# Sets everything up and runs every test of both targets:
#   native: engine tests, fuzz-corpus replays and command-line tests, built
#           with AddressSanitizer + UndefinedBehaviorSanitizer;
#   windows: the same engine tests and the program's own tests, cross-built
#           with MinGW-w64 and run under Wine (headless, Xvfb).
# Ends with one summary line per target and "N passed, N failed".
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/setup.sh" || exit 1

jobs=$(nproc 2>/dev/null || echo 2)
status=0

build_target() {  # name, build dir, cmake args...
  local name=$1 dir=$2
  shift 2
  echo "== $name: configure and build"
  cmake -S "$root" -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1 || { grep -E "error|Error" "$dir.build.log" | head -n 40; return 1; }
}

run_target() {  # name, build dir
  local name=$1 dir=$2
  echo "== $name: tests"
  rm -rf "$dir/test-results"
  mkdir -p "$dir/test-results"
  (cd "$dir" && ctest --output-on-failure -j 1 --timeout 1500) || return 1
}

# Counts from the GoogleTest reports (CTest above also reports every test program).
summarise() {  # name, build dir
  local name=$1 dir=$2 passed=0 failed=0 skipped=0
  for xml in "$dir"/test-results/*.xml; do
    [ -f "$xml" ] || continue
    local line tests failures errors disabled skips
    line=$(grep -m1 '<testsuites' "$xml")
    tests=$(sed -n 's/.* tests="\([0-9]*\)".*/\1/p' <<<"$line")
    failures=$(sed -n 's/.* failures="\([0-9]*\)".*/\1/p' <<<"$line")
    errors=$(sed -n 's/.* errors="\([0-9]*\)".*/\1/p' <<<"$line")
    disabled=$(sed -n 's/.* disabled="\([0-9]*\)".*/\1/p' <<<"$line")
    # a skip is marked on its test case only
    skips=$(grep -c '<skipped' "$xml")
    failed=$((failed + ${failures:-0} + ${errors:-0}))
    skipped=$((skipped + ${skips:-0}))
    passed=$((passed + ${tests:-0} - ${failures:-0} - ${errors:-0} - ${disabled:-0} - ${skips:-0}))
  done
  echo "$name: $passed passed, $failed failed, $skipped skipped" | tee -a "$root/build/summary.txt" >/dev/null
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
}

mkdir -p build
rm -f build/summary.txt
total_passed=0
total_failed=0

# The benchmarks are built here too (not run), so a change that breaks them shows.
if build_target native build/native -DQDX_SANITIZE=ON -DQDX_BENCH=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  run_target native build/native || status=1
else
  status=1
fi
summarise native build/native

if build_target windows build/windows -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release; then
  # One X server and one wine server for the whole run.
  # Xvfb picks a free display itself and names it once it accepts clients.
  displayfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 2560x1600x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 100); do [ -s "$displayfile" ] && break; sleep 0.1; done
  export DISPLAY=:$(head -n 1 "$displayfile")
  rm -f "$displayfile"
  export WINEPREFIX="$root/build/windows/wineprefix" WINEDEBUG=-all WINEARCH=win64
  echo "== windows: preparing the Wine prefix"
  . "$root/scripts/wine-prefix.sh"
  qdx_prepare_wine_prefix
  # Keep the wine server and its services running for the whole run, started
  # here with their output detached: a service that inherited a test's
  # output pipe would keep CTest waiting for ever.
  wineserver -p 120 >/dev/null 2>&1 </dev/null || true
  wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
  run_target windows build/windows || status=1
  wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" 2>/dev/null || true
else
  status=1
fi
summarise windows build/windows

echo "== summary"
cat build/summary.txt
[ $total_failed -eq 0 ] || status=1
echo "$total_passed passed, $total_failed failed"
exit $status
