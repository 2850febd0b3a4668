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

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# Wall-clock milliseconds of one run of a command, its output thrown away: the clock is read in
# one process around each child, so no helper process's start is counted.
wall_ms() {
  python3 -c 'import subprocess, sys, time
t = time.perf_counter()
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
print(round((time.perf_counter() - t) * 1000))' "$@"
}

echo "Full hardware scan, $runs runs each, interleaved (one warm-up run first):"
python3 - "$runs" "$data" "$bin/sysdiagnose-host" <<'PY'
import os, statistics, subprocess, sys, time
runs, data, host = int(sys.argv[1]), sys.argv[2], sys.argv[3]
env = dict(os.environ, SYSDIAGNOSE_DATA_DIR=data, SYSDIAGNOSE_MACHINE="")
commands = {"scan": [host, "scan"], "inxi": ["inxi", "-F", "-c0"], "lshw": ["lshw", "-json"]}
def wall(cmd):
    begin = time.perf_counter()
    subprocess.run(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return (time.perf_counter() - begin) * 1000
for cmd in commands.values():
    wall(cmd)
times = {name: [] for name in commands}
for _ in range(runs):
    for name, cmd in commands.items():
        times[name].append(wall(cmd))
median = {name: statistics.median(t) for name, t in times.items()}
for name in commands:
    print(f"  {name:28s} median {median[name]:8.1f} ms   (min {min(times[name]):.1f}, max {max(times[name]):.1f})")
print(f"  inxi -F / scan: {median['inxi'] / median['scan']:.1f}x   lshw -json / scan: {median['lshw'] / median['scan']:.1f}x")
PY
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
