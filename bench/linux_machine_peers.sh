#!/usr/bin/env bash
# Side by side on this machine: the program's start (--help), the full hardware scan of
# sysdiagnose-host against `inxi -F` and `lshw -json`, the history page over a history of a million
# runs, and the memory checks against memtester on the same buffer and against memset and memcpy.
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

def show(times):
    median = {name: statistics.median(t) for name, t in times.items()}
    for name, t in times.items():
        print(f"  {name:28s} median {median[name]:8.1f} ms   (min {min(t):.1f}, max {max(t):.1f})")
    return median

def side_by_side(commands, runs):
    """Each command `runs` times, interleaved, after one warm-up run of each."""
    for cmd in commands.values():
        wall(cmd)
    times = {name: [] for name in commands}
    for _ in range(runs):
        for name, cmd in commands.items():
            times[name].append(wall(cmd))
    return show(times)

host = f"{bin}/sysdiagnose-host"
print(f"Start-up, {runs * 5} runs each:")
side_by_side({"sysdiagnose-host --help": [host, "--help"], "true": ["true"]}, runs * 5)

print(f"\nFull hardware scan, {runs} runs each, interleaved (one warm-up run first):")
median = side_by_side({"scan --json": [host, "scan", "--json"], "scan": [host, "scan"],
                       "inxi": ["inxi", "-F", "-c0"], "lshw": ["lshw", "-json"]}, runs)
print(f"  inxi -F / scan --json: {median['inxi'] / median['scan --json']:.1f}x   "
      f"lshw -json / scan --json: {median['lshw'] / median['scan --json']:.1f}x")

# A history of a million runs, one every 95 s back from now, written in one transaction into the
# table a first run of the program made.
history = os.path.join(data, "history")
os.mkdir(history, 0o700)
profile = os.path.join(bin, "machines", "empty.json")
subprocess.run([host, "diagnose", "cpu", "--machine", profile, "--data-dir", history],
               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
import sqlite3
db = sqlite3.connect(os.path.join(history, "history.db"))
now = int(time.time())
def run_rows(count):
    for n in range(count):
        moment = now - 95 * (n + 1)
        local = time.localtime(moment)
        yield ((n + 1) % 7 == 0, 0, 0, -1, 0, 0, 1 if n % 5 == 0 else 0, 0, -1, 0, 0, -1, 8, 1,
               time.strftime("%Y.%m.%d", local), time.strftime("%Y.%m.%d.%H.%M.%S", local), moment)
with db:
    db.executemany("INSERT INTO TABLE_HARDWARE_DIAGNOSE VALUES (" + ",".join("?" * 17) + ")", run_rows(1_000_000))
count = db.execute("select count(*) from TABLE_HARDWARE_DIAGNOSE").fetchone()[0]
db.close()
print(f"\nHistory page over {count} stored runs, {runs} runs each:")
side_by_side({"history --json": [host, "history", "--json", "--data-dir", history],
              "history": [host, "history", "--data-dir", history]}, runs)

print(f"\nMemory checks over {mb} MiB:")
memtester = ["memtester", f"{mb}M", "1"]
memtester_all = statistics.median(wall(memtester) for _ in range(3))
# memtester names each test it runs on a line "  Name   :".
listing = subprocess.run(memtester, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout
memtester_tests = len(re.findall(r"^  [A-Z][A-Za-z0-9 -]+:", listing.replace("\b", " "), re.M)) or 1
report = os.path.join(data, "memory.json")
subprocess.run([f"{bin}/bench_linux_machine", "--benchmark_filter=Memset|Memcpy|Pattern|NineMemoryChecks",
                "--benchmark_repetitions=3", "--benchmark_report_aggregates_only=true", "--benchmark_format=json",
                f"--benchmark_out={report}"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
aggregates = json.load(open(report))["benchmarks"]
median = {r["run_name"]: r for r in aggregates if r.get("aggregate_name") == "median"}
memset = median["BM_Memset"]["bytes_per_second"] / 1e9
memcpy = median["BM_Memcpy"]["bytes_per_second"] / 1e9
nine = median["BM_NineMemoryChecks"]["real_time"]
print(f"  memset                      {memset:6.1f} GB/s written, one thread")
print(f"  memcpy                      {memcpy:6.1f} GB/s moved (read and written), one thread")
for name, r in sorted(median.items(), key=lambda item: [int(x) for x in item[0].split("/")[1:3]] if item[0].startswith("BM_Pattern/") else []):
    if name.startswith("BM_Pattern/"):
        rate = r['bytes_per_second'] / 1e9
        print(f"  pattern {r.get('label', name):32s}{r['real_time']:7.1f} ms  {rate:5.1f} GB/s moved, "
              f"{r['of_memset']:.2f} of memset, {r['of_memcpy']:.2f} of memcpy beside it")
threads = int(median["BM_NineMemoryChecks"].get("threads", 1))
print(f"  our nine checks             {nine:7.1f} ms in all (buffer mapped once, {threads} thread{'s' if threads > 1 else ''} a pass), {nine / 9:6.1f} ms a check")
print(f"  memtester, one loop         {memtester_all:7.0f} ms in all, {memtester_all / memtester_tests:6.1f} ms a test ({memtester_tests} tests)")
print(f"  memtester's loop / our nine checks: {memtester_all / nine:.1f}x; a test / a check: {memtester_all / memtester_tests / (nine / 9):.1f}x")
PY
