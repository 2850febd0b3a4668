#!/usr/bin/env bash
# A fleet of simulated notebooks watched by Prometheus, all on this machine and on loopback only:
# each notebook (a profile made from the samples in resources/machines/, with its own faults) runs
# its health check into its own textfile directory, its own node_exporter serves that directory,
# and one Prometheus server scrapes them all with the shipped alerting rules. Then it prints what
# Prometheus answers: how many notebooks have each abnormal category, which alerts fire, and what
# it cost (export, scrape and rule evaluation times, series per notebook). Everything it started is
# stopped and its temporary directory removed at the end.
#
# Usage: scripts/fleet-demo.sh [NOTEBOOKS]   (default 24, at least 20)
# Not part of the test suite: it takes about a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-24}
((count >= 20)) || { echo "fleet-demo: at least 20 notebooks, not $count" >&2; exit 2; }

scripts/setup.sh default >/dev/null  # installs what is missing and brings the build up to date
host=$PWD/build/default/bin/sysdiagnose-host
rules=$PWD/dist/prometheus/sysdiagnose.rules.yml
python=/usr/bin/python3
export SYSDIAGNOSE_APP_DIR=$PWD/build/default/bin

work=$(mktemp -d /tmp/sysdiagnose-fleet.XXXXXX)
pids=()
stop_all() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap stop_all EXIT

# ---- the notebooks: profiles with different faults ------------------------------------------
"$python" - "$work" "$count" resources/machines <<'EOF'
import json, os, random, sys
work, count, samples = sys.argv[1], int(sys.argv[2]), sys.argv[3]
healthy = json.load(open(os.path.join(samples, "healthy-notebook.json")))
failing_disk = {"code": 3, "smart": [0] * 18 + [2] + [0] * 3}  # attribute 0xC5 of a solid-state drive
faults = {  # name: (share of the fleet that has it, what it changes under "checks")
    "memory":   (0.15, {"memory": {"random": 3}}),
    "battery":  (0.25, {"battery": {"loss": 1}}),
    "wifi":     (0.20, {"wifi": {"switch": {"code": -3, "passed": False, "level": 0}}}),
    "disk":     (0.10, {"disks": [failing_disk, {"code": 1}]}),
    "keyboard": (0.20, {"keyboard": {"filterKey": {"code": -6, "passed": False, "level": 1}}}),
    "bluetooth": (0.10, {"bluetooth": {"state": {"code": 12, "passed": False, "level": 0}}}),
    "loopback": (0.15, {"audio": {"loopBack": {"code": -5, "passed": False, "level": 1}}}),  # could not look
}
chance = random.Random(26)
for i in range(1, count + 1):
    profile = json.loads(json.dumps(healthy))
    has = [name for name, (share, _) in faults.items() if chance.random() < share]
    for name in has:
        for key, value in faults[name][1].items():
            profile["checks"].setdefault(key, {})
            if isinstance(value, dict):
                profile["checks"][key].update(value)
            else:
                profile["checks"][key] = value
    name = "nb%02d" % i
    os.makedirs(os.path.join(work, name, "textfile"))
    with open(os.path.join(work, name, "profile.json"), "w") as f:
        json.dump(profile, f)
    note = {2: " (its timer stopped three days ago)", count: " (never runs its health check)"}.get(i, "")
    print("%s  %s%s" % (name, ", ".join(has) or "healthy", note))
EOF

# ---- each notebook's health check into its own textfile directory (two at a time) -----------
# The last notebook never ran its check: its node_exporter serves an empty directory.
echo
echo "Health checks of $count notebooks..."
started=$(date +%s.%N)
seq -f "nb%02g" 1 $((count - 1)) | xargs -P 2 -I{} sh -c \
  '"$0" doctor --data-dir "$1/{}/data" --machine "$1/{}/profile.json" --textfile "$1/{}/textfile/sysdiagnose.prom" >/dev/null' \
  "$host" "$work"
export_seconds=$("$python" -c "import sys; print('%.1f' % (float(sys.argv[1]) - float(sys.argv[2])))" "$(date +%s.%N)" "$started")
# nb02's timer stopped three days ago: its last check is that old.
"$python" - "$work/nb02/textfile/sysdiagnose.prom" <<'EOF'
import re, sys
path = sys.argv[1]
text = re.sub(r"^(sysdiagnose_run_start_timestamp_seconds) (\S+)$",
              lambda m: "%s %d" % (m.group(1), float(m.group(2)) - 3 * 86400), open(path).read(), flags=re.M)
open(path, "w").write(text)
EOF

# ---- a node_exporter per notebook, one Prometheus over all of them ---------------------------
# Free loopback ports for the exporters and Prometheus, all asked for at once so they differ.
ports=($("$python" -c '
import socket, sys
sockets = [socket.socket() for _ in range(int(sys.argv[1]))]
for s in sockets: s.bind(("127.0.0.1", 0))
print(" ".join(str(s.getsockname()[1]) for s in sockets))' $((count + 1))))
{
  echo "global: {scrape_interval: 5s, evaluation_interval: 5s}"
  echo "rule_files: ['$rules']"
  echo "scrape_configs:"
  echo "  - job_name: notebooks"
  echo "    static_configs:"
} >"$work/prometheus.yml"
for i in $(seq 1 "$count"); do
  name=$(printf "nb%02d" "$i")
  port=${ports[$((i - 1))]}
  prometheus-node-exporter --collector.disable-defaults --collector.textfile \
    --collector.textfile.directory="$work/$name/textfile" --web.disable-exporter-metrics \
    --web.listen-address="127.0.0.1:$port" >"$work/$name/node_exporter.log" 2>&1 &
  pids+=($!)
  echo "      - {targets: ['127.0.0.1:$port'], labels: {instance: $name}}" >>"$work/prometheus.yml"
done
prometheus_port=${ports[$count]}
prometheus --config.file="$work/prometheus.yml" --storage.tsdb.path="$work/tsdb" \
  --web.listen-address="127.0.0.1:$prometheus_port" --log.level=warn >"$work/prometheus.log" 2>&1 &
pids+=($!)

# ---- what Prometheus answers ----------------------------------------------------------------
"$python" - "$prometheus_port" "$count" "$export_seconds" <<'EOF'
import json, sys, time, urllib.parse, urllib.request
port, count, export_seconds = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
base = "http://127.0.0.1:%s" % port

def api(path, **params):
    url = base + path + ("?" + urllib.parse.urlencode(params) if params else "")
    return json.load(urllib.request.urlopen(url, timeout=10))["data"]

def query(expr):
    return api("/api/v1/query", query=expr)["result"]

def scalar(expr):
    result = query(expr)
    return float(result[0]["value"][1]) if result else float("nan")

deadline = time.monotonic() + 120
while True:  # every notebook scraped once
    try:
        if scalar('count(up{job="notebooks"} == 1)') == count:
            break
    except OSError:
        pass
    if time.monotonic() > deadline:
        sys.exit("fleet-demo: Prometheus did not scrape every notebook within two minutes")
    time.sleep(0.5)
time.sleep(6)  # one evaluation interval more: the rules have seen every notebook

print("\nNotebooks with each abnormal category:")
for row in sorted(query('count by (category) (sysdiagnose_category_verdict{verdict="abnormal"} == 1)'),
                  key=lambda r: -float(r["value"][1])):
    print("  %-12s %s" % (row["metric"]["category"], row["value"][1]))
print("Notebooks with notices (a notice, or a check that could not look):")
for row in query('count by (category) (sysdiagnose_category_verdict{verdict="notice"} == 1)'):
    print("  %-12s %s" % (row["metric"]["category"], row["value"][1]))

print("\nAlerts:")
alerts = api("/api/v1/alerts")["alerts"]
by_name = {}
for alert in alerts:
    by_name.setdefault((alert["labels"]["alertname"], alert["state"]), []).append(alert["labels"]["instance"])
for (name, state), instances in sorted(by_name.items()):
    print("  %-28s %-8s %2d  %s" % (name, state, len(instances), " ".join(sorted(set(instances)))))

rules = api("/api/v1/rules")["groups"][0]
print("\nFigures:")
print("  notebooks                          %d (%d with a health check)" % (count, count - 1))
print("  health check + export, per notebook %.1f s (all %d in %.1f s, two at a time)"
      % (2 * export_seconds / (count - 1), count - 1, export_seconds))
print("  scrape time per notebook            avg %.1f ms, max %.1f ms"
      % (1000 * scalar('avg(scrape_duration_seconds{job="notebooks"})'),
         1000 * scalar('max(scrape_duration_seconds{job="notebooks"})')))
print("  series per notebook                 avg %.0f (sysdiagnose_* %.0f)"
      % (scalar('avg(scrape_samples_scraped{job="notebooks"})'),
         scalar('avg(count by (instance) ({__name__=~"sysdiagnose_.*"}))')))
print("  rule evaluation (%d rules)           %.2f ms per evaluation of the group"
      % (len(rules["rules"]), 1000 * rules["evaluationTime"]))
EOF
