#!/bin/sh
# Builds every libFuzzer target with clang under AddressSanitizer and UBSan (build/fuzz) and runs
# each for RUNS executions from its seed corpus, then prints one line per target: executions,
# seconds, executions per second and crashes (with where the crashing input was kept).
#
#   scripts/fuzz-all.sh [RUNS] [TARGET ...]     RUNS defaults to 10000000; TARGET to all of them
#
# The seeds in fuzz/corpus/TARGET are not changed: each run grows a copy in build/fuzz/corpus.
set -eu
cd "$(dirname "$0")/.."
runs=${1:-10000000}
[ $# -gt 0 ] && shift
build=build/fuzz

if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DSYSDIAGNOSE_FUZZ=ON \
    -DSYSDIAGNOSE_SANITIZE=address,undefined -DSYSDIAGNOSE_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target fuzz_all -j "${JOBS:-2}" >/dev/null

targets=${*:-$(ls fuzz/corpus)}
# Whatever the code under test logs goes to a data directory of the fuzz build's own.
export SYSDIAGNOSE_DATA_DIR="$PWD/$build/data" SYSDIAGNOSE_APP_DIR="$PWD/$build/bin"
mkdir -p "$SYSDIAGNOSE_DATA_DIR" && chmod 700 "$SYSDIAGNOSE_DATA_DIR"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

printf '%-16s %14s %9s %11s %8s\n' target executions seconds exec/s crashes
status=0
for target in $targets; do
  corpus="$build/corpus/$target" artifacts="$build/artifacts/$target/" log="$build/logs/$target.log"
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  cp -n "fuzz/corpus/$target"/* "$corpus"/ 2>/dev/null || true
  start=$(date +%s)
  "$build/bin/fuzz_$target" -runs="$runs" -max_len=65536 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts" "$corpus" >"$log" 2>&1 || true
  seconds=$(( $(date +%s) - start ))
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  crashes=$(find "$artifacts" -type f | wc -l)
  [ "$crashes" -eq 0 ] || status=1
  printf '%-16s %14s %9s %11s %8s\n' "$target" "${executions:-?}" "$seconds" \
    "$(( ${executions:-0} / (seconds > 0 ? seconds : 1) ))" "$crashes"
  [ "$crashes" -eq 0 ] || find "$artifacts" -type f | sed 's/^/    kept: /'
done
exit $status
