#!/usr/bin/env bash
# Side by side on this machine: the full hardware scan of sysdiagnose-host against `inxi -F` and
# `lshw -json`, and the memory checks against memtester on the same buffer and against memset.
# Usage: bench/linux_machine_peers.sh [RUNS]   (default 9; builds the release preset first)
# The peers are Debian packages installed here when missing; they are only run, side by side.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-9}
mb=${SYSDIAGNOSE_MEMTEST_MB:-64}

peers=(inxi lshw memtester)
missing=()
for p in "${peers[@]}"; do command -v "$p" >/dev/null || missing+=("$p"); done
if ((${#missing[@]})); then
  echo "Installing the benchmark peers: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
scripts/setup.sh release >/dev/null
bin=build/release/bin
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT

# Wall-clock milliseconds of one run of the command, its output thrown away.
wall_ms() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 || true
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

declare -A times
scan=(env SYSDIAGNOSE_DATA_DIR="$data" SYSDIAGNOSE_MACHINE= "$bin/sysdiagnose-host" scan)
echo "Full hardware scan, $runs runs each, interleaved (one warm-up run first):"
for cmd in scan inxi lshw; do times[$cmd]=""; done
run_one() {
  case $1 in
    scan) wall_ms "${scan[@]}" ;;
    inxi) wall_ms inxi -F -c0 ;;
    lshw) wall_ms lshw -json ;;
  esac
}
for cmd in scan inxi lshw; do run_one "$cmd" >/dev/null; done
for ((i = 0; i < runs; i++)); do
  for cmd in scan inxi lshw; do times[$cmd]+="$(run_one "$cmd") "; done
done
for cmd in scan inxi lshw; do
  m=$(tr ' ' '\n' <<<"${times[$cmd]}" | grep . | median)
  printf '  %-28s median %8s ms\n' "$cmd" "$m"
  eval "median_$cmd=$m"
done
awk -v s="$median_scan" -v i="$median_inxi" -v l="$median_lshw" \
  'BEGIN {printf "  inxi -F / scan: %.1fx   lshw -json / scan: %.1fx\n", i / s, l / s}'

echo
echo "Memory checks over ${mb} MiB:"
mt_all=()
for ((i = 0; i < 3; i++)); do mt_all+=("$(wall_ms memtester "${mb}M" 1)"); done
# memtester names each test it runs on a line "  Name   :".
tests=$(memtester "${mb}M" 1 2>/dev/null | tr '\b' ' ' | grep -cE '^  [A-Z][A-Za-z0-9 -]+:' || true)
all=$(printf '%s\n' "${mt_all[@]}" | median)
SYSDIAGNOSE_MEMTEST_MB=$mb "$bin/bench_linux_machine" --benchmark_filter='Memset|Pattern|NineMemoryChecks' \
  --benchmark_repetitions=3 --benchmark_report_aggregates_only=true --benchmark_format=json >"$data/memory.json" 2>/dev/null
python3 - "$data/memory.json" "$all" "$tests" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
median = {r["run_name"]: r for r in runs if r.get("aggregate_name") == "median"}
memtester_all, memtester_tests = float(sys.argv[2]), int(sys.argv[3]) or 1
memset = median["BM_Memset"]["bytes_per_second"] / 1e9
nine = median["BM_NineMemoryChecks"]["real_time"]
print(f"  memset                      {memset:6.1f} GB/s written")
for name, r in sorted(median.items()):
    if name.startswith("BM_Pattern/"):
        rate = r['bytes_per_second'] / 1e9
        print(f"  pattern {r.get('label', name):20s}{r['real_time']:7.1f} ms  {rate:5.1f} GB/s moved, {r['of_memset']:.2f} of memset beside it")
print(f"  our nine checks             {nine:7.1f} ms in all, {nine / 9:6.1f} ms a check")
print(f"  memtester, one loop         {memtester_all:7.0f} ms in all, {memtester_all / memtester_tests:6.1f} ms a test ({memtester_tests} tests)")
print(f"  memtester's loop / our nine checks: {memtester_all / nine:.1f}x; a test / a check: {memtester_all / memtester_tests / (nine / 9):.1f}x")
PY
