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

# One process reads the clock around each child, so no helper process's start is counted.
python3 - "$runs" "$data" "$bin" "$mb" <<'PY'
import json, os, re, statistics, subprocess, sys, time
runs, data, bin, mb = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
env = dict(os.environ, SYSDIAGNOSE_DATA_DIR=data, SYSDIAGNOSE_MACHINE="", SYSDIAGNOSE_MEMTEST_MB=mb)

def wall(cmd):
    """Wall-clock milliseconds of one run, its output thrown away."""
    begin = time.perf_counter()
    subprocess.run(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return (time.perf_counter() - begin) * 1000

print(f"Full hardware scan, {runs} runs each, interleaved (one warm-up run first):")
commands = {"scan": [f"{bin}/sysdiagnose-host", "scan"], "inxi": ["inxi", "-F", "-c0"], "lshw": ["lshw", "-json"]}
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

print(f"\nMemory checks over {mb} MiB:")
memtester = ["memtester", f"{mb}M", "1"]
memtester_all = statistics.median(wall(memtester) for _ in range(3))
# memtester names each test it runs on a line "  Name   :".
listing = subprocess.run(memtester, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout
memtester_tests = len(re.findall(r"^  [A-Z][A-Za-z0-9 -]+:", listing.replace("\b", " "), re.M)) or 1
report = os.path.join(data, "memory.json")
subprocess.run([f"{bin}/bench_linux_machine", "--benchmark_filter=Memset|Pattern|NineMemoryChecks",
                "--benchmark_repetitions=3", "--benchmark_report_aggregates_only=true", "--benchmark_format=json",
                f"--benchmark_out={report}"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
aggregates = json.load(open(report))["benchmarks"]
median = {r["run_name"]: r for r in aggregates if r.get("aggregate_name") == "median"}
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
