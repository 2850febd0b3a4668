#!/usr/bin/python3
"""The monitoring outputs on the real engines: Debian's node_exporter serves the faulty notebook's
health check from a textfile directory, promtool accepts the export and runs the alerting rules'
unit tests, systemd-analyze verifies the service and timer.

usage: monitoring_engines.py HOST_PROGRAM DIST_DIR MACHINES_DIR
"""
import os
import re
import shlex
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

HOST, DIST, MACHINES = sys.argv[1:4] if len(sys.argv) >= 4 else (None, None, None)
NODE_EXPORTER = shutil.which("prometheus-node-exporter") or "/usr/bin/prometheus-node-exporter"
PROMTOOL = shutil.which("promtool") or "/usr/bin/promtool"
INSTALLED_PROGRAM = "/usr/bin/sysdiagnose-host"
TEXTFILE_DIR = "/var/lib/prometheus/node-exporter"

SAMPLE = re.compile(r'^([a-zA-Z_:][a-zA-Z0-9_:]*)(?:\{(.*)\})? (\S+)$')
LABEL = re.compile(r'([a-zA-Z_][a-zA-Z0-9_]*)="((?:[^"\\]|\\.)*)"')


def samples(text):
    """(name, labels, value) of every sample line of a text exposition."""
    found = []
    for line in text.splitlines():
        if not line or line.startswith("#"):
            continue
        match = SAMPLE.match(line)
        assert match, "not a sample line: " + line
        labels = dict(LABEL.findall(match.group(2) or ""))
        found.append((match.group(1), labels, float(match.group(3))))
    return found


def value_of(found, name, **labels):
    values = [v for n, l, v in found if n == name and all(l.get(k) == w for k, w in labels.items())]
    assert len(values) == 1, "%d samples of %s %s" % (len(values), name, labels)
    return values[0]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def unit_lines(path, key):
    with open(path) as f:
        return [line.split("=", 1)[1].strip() for line in f if line.startswith(key + "=")]


class NodeExporter:
    """node_exporter on loopback with only the textfile collector, over `directory`."""

    def __init__(self, directory):
        self.directory = directory

    def __enter__(self):
        for _ in range(3):  # the free port may be taken between looking and listening
            self.url = "http://127.0.0.1:%d/metrics" % free_port()
            self.process = subprocess.Popen(
                [NODE_EXPORTER, "--collector.disable-defaults", "--collector.textfile",
                 "--collector.textfile.directory=" + self.directory,
                 "--web.listen-address=" + self.url[len("http://"):-len("/metrics")]],
                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline and self.process.poll() is None:
                try:
                    urllib.request.urlopen(self.url, timeout=1).read()
                    return self
                except OSError:
                    time.sleep(0.05)
            self.failure = self.process.stderr.read() if self.process.poll() is not None else "no answer"
            self.stop()
        raise AssertionError("node_exporter did not serve /metrics on 127.0.0.1: " + self.failure)

    def scrape(self):
        return urllib.request.urlopen(self.url, timeout=5).read().decode()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=10)
        self.process.stderr.close()

    def __exit__(self, *error):
        self.stop()


class Export(unittest.TestCase):
    def test_node_exporter_serves_the_faulty_notebooks_verdicts_exported_by_the_services_command(self):
        with tempfile.TemporaryDirectory() as scratch:
            textfiles = os.path.join(scratch, "node-exporter")
            os.mkdir(textfiles)
            # The service's own command line, pointed at this build and this directory.
            service = os.path.join(DIST, "systemd", "sysdiagnose-export.service")
            [command] = unit_lines(service, "ExecStart")
            args = [a.replace(INSTALLED_PROGRAM, HOST).replace(TEXTFILE_DIR, textfiles) for a in shlex.split(command)]
            environment = dict(os.environ, SYSDIAGNOSE_MACHINE=os.path.join(MACHINES, "faulty-notebook.json"),
                               SYSDIAGNOSE_DATA_DIR=os.path.join(scratch, "data"))
            run = subprocess.run(args, capture_output=True, text=True, env=environment, timeout=120)
            self.assertEqual(run.returncode, 0, run.stderr)
            [exported] = os.listdir(textfiles)
            self.assertEqual(os.stat(os.path.join(textfiles, exported)).st_mode & 0o777, 0o644)

            with open(os.path.join(textfiles, exported), "rb") as f:
                check = subprocess.run([PROMTOOL, "check", "metrics"], stdin=f, capture_output=True, text=True)
            self.assertEqual((check.returncode, check.stdout + check.stderr), (0, ""))

            with NodeExporter(textfiles) as exporter:
                found = samples(exporter.scrape())

        self.assertEqual(value_of(found, "node_textfile_scrape_error"), 0)
        verdict = lambda category, v: value_of(found, "sysdiagnose_category_verdict", category=category, verdict=v)
        for category in ("memory", "disks", "network", "battery", "bluetooth"):
            self.assertEqual(verdict(category, "abnormal"), 1, category)
        self.assertEqual(verdict("keyboard", "notice"), 1)
        self.assertEqual(verdict("keyboard", "abnormal"), 0)
        self.assertEqual(verdict("processor", "normal"), 1)
        self.assertEqual(value_of(found, "sysdiagnose_check_passed", check="wifi.switch"), 0)
        self.assertEqual(value_of(found, "sysdiagnose_disk_smart_failing_attributes", disk="1",
                                  model="ST1000LM035-1RK172"), 2)
        self.assertEqual(value_of(found, "sysdiagnose_run_categories", verdict="abnormal"), 5)
        self.assertGreater(value_of(found, "sysdiagnose_run_start_timestamp_seconds"), time.time() - 600)
        names = {n for n, _, _ in found}
        self.assertNotIn("sysdiagnose_battery_health_ratio", names, "a described machine measures nothing")
        collectors = {l["collector"] for n, l, _ in found if n == "node_scrape_collector_success"}
        self.assertEqual(collectors, {"textfile"}, "only the textfile collector runs")


class Rules(unittest.TestCase):
    def promtool(self, *args, cwd):
        return subprocess.run([PROMTOOL, *args], capture_output=True, text=True, cwd=cwd, timeout=120)

    def test_the_rules_pass_their_unit_tests_and_the_tests_catch_a_wrong_rule(self):
        rules = os.path.join(DIST, "prometheus")
        check = self.promtool("check", "rules", "sysdiagnose.rules.yml", cwd=rules)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
        tested = self.promtool("test", "rules", "sysdiagnose.rules.test.yml", cwd=rules)
        self.assertEqual(tested.returncode, 0, tested.stdout + tested.stderr)

        with tempfile.TemporaryDirectory() as scratch:
            for name in os.listdir(rules):
                shutil.copy(os.path.join(rules, name), scratch)
            path = os.path.join(scratch, "sysdiagnose.rules.yml")
            with open(path) as f:
                text = f.read()
            with open(path, "w") as f:
                f.write(text.replace("> 2 * 86400", "> 3 * 86400"))
            wrong = self.promtool("test", "rules", "sysdiagnose.rules.test.yml", cwd=scratch)
        self.assertNotEqual(wrong.returncode, 0, "the unit tests did not notice a three-day limit")
        self.assertIn("SysdiagnoseNotRunRecently", wrong.stdout + wrong.stderr)


class Units(unittest.TestCase):
    def verify(self, directory, names):
        # The units' Documentation= names the program's manual page, which verify asks man for.
        return subprocess.run(["systemd-analyze", "verify", *[os.path.join(directory, n) for n in names]],
                              capture_output=True, text=True, timeout=120, env=dict(os.environ, MANPATH=self.manpath))

    def test_the_service_and_timer_pass_systemd_analyze_verify(self):
        if shutil.which("systemd-analyze") is None:
            self.skipTest("systemd-analyze is not installed")
        names = ["sysdiagnose-export.service", "sysdiagnose-export.timer"]
        with tempfile.TemporaryDirectory() as scratch:
            self.manpath = os.path.join(scratch, "man")
            os.makedirs(os.path.join(self.manpath, "man1"))
            shutil.copy(os.path.join(DIST, "man", "sysdiagnose-host.1"), os.path.join(self.manpath, "man1"))
            # The units name the installed program; verify checks that it exists, so this build's stands in.
            for name in names:
                with open(os.path.join(DIST, "systemd", name)) as f:
                    text = f.read()
                with open(os.path.join(scratch, name), "w") as f:
                    f.write(text.replace(INSTALLED_PROGRAM, HOST))
            verified = self.verify(scratch, names)

            # A verifier that passes a misspelt key checks nothing here: say so rather than pass.
            control = os.path.join(scratch, "control")
            os.mkdir(control)
            shutil.copy(os.path.join(scratch, names[0]), control)
            with open(os.path.join(scratch, names[1])) as f:
                misspelt = f.read().replace("OnCalendar=", "OnCalender=")
            with open(os.path.join(control, names[1]), "w") as f:
                f.write(misspelt)
            if self.verify(control, names).stderr == "":
                self.skipTest("systemd-analyze verify does not check unit files in this container")

        self.assertEqual((verified.returncode, verified.stdout + verified.stderr), (0, ""))
        timer = os.path.join(DIST, "systemd", names[1])
        self.assertEqual(unit_lines(timer, "OnCalendar"), ["daily"])
        self.assertEqual(unit_lines(timer, "Persistent"), ["true"])
        self.assertTrue(unit_lines(timer, "RandomizedDelaySec"))
        self.assertEqual(unit_lines(os.path.join(DIST, "systemd", names[0]), "User"), ["root"])


if __name__ == "__main__":
    if HOST is None:
        sys.exit(__doc__)
    unittest.main(argv=sys.argv[:1], verbosity=2)
