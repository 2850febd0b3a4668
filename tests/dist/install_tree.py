#!/usr/bin/python3
"""The installed program runs from its installed tree alone: `cmake --install` with the prefix /usr
into a temporary DESTDIR (so the tree also stands where it was not configured to be), then the
program run from there in a mount namespace whose source and build trees are empty directories,
with SYSDIAGNOSE_APP_DIR unset: it finds its libraries and the plug-in through its run path, and
its catalogue, string tables, layouts and sample machines under ../share/sysdiagnose.

usage: install_tree.py CMAKE BUILD_DIR SOURCE_DIR VERSION
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

CMAKE, BUILD, SOURCE, VERSION = sys.argv[1:5] if len(sys.argv) >= 5 else (None, None, None, None)


def elf_files(top):
    for root, _, files in os.walk(top):
        for name in files:
            path = os.path.join(root, name)
            with open(path, "rb") as f:
                if f.read(4) == b"\x7fELF":
                    yield path


def run_paths(path):
    """The RPATH and RUNPATH entries of an ELF file."""
    out = subprocess.run(["readelf", "-d", path], capture_output=True, text=True, check=True).stdout
    entries = []
    for line in out.splitlines():
        if "(RPATH)" in line or "(RUNPATH)" in line:
            entries += line.split("[", 1)[1].rstrip("]").split(":")
    return entries


def namespaces_work():
    done = subprocess.run(["unshare", "-m", "true"], capture_output=True, text=True)
    return done.returncode == 0, done.stderr.strip()


class InstalledTree(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory()
        cls.addClassCleanup(cls.scratch.cleanup)
        cls.destdir = os.path.join(cls.scratch.name, "root")
        done = subprocess.run([CMAKE, "--install", BUILD, "--prefix", "/usr"], capture_output=True, text=True,
                              env=dict(os.environ, DESTDIR=cls.destdir))
        assert done.returncode == 0, done.stdout + done.stderr
        cls.usr = os.path.join(cls.destdir, "usr")
        cls.program = os.path.join(cls.usr, "bin", "sysdiagnose-host")
        cls.share = os.path.join(cls.usr, "share", "sysdiagnose")

    def run_installed(self, *args):
        """The installed program run with the source and build trees hidden from it."""
        works, why = namespaces_work()
        if not works:
            self.skipTest("cannot hide the build tree in a mount namespace here: " + why)
        hidden = [SOURCE] + ([BUILD] if os.path.relpath(BUILD, SOURCE).startswith("..") else [])
        env = {key: value for key, value in os.environ.items() if key not in ("SYSDIAGNOSE_APP_DIR", "LD_LIBRARY_PATH")}
        env.update(SYSDIAGNOSE_DATA_DIR=os.path.join(self.scratch.name, "data"), SYSDIAGNOSE_MEMTEST_MB="1",
                   SYSDIAGNOSE_MACHINE=os.path.join(self.share, "machines", "faulty-notebook.json"))
        script = 'for d in "$@"; do [ "$d" = -- ] && break; mount -t tmpfs none "$d" || exit 97; done; ' \
                 'shift $(( $# - %d )); test ! -e "$HIDDEN_PROBE" || exit 98; exec "$@"' % (len(args) + 1)
        env["HIDDEN_PROBE"] = os.path.join(BUILD, "CMakeCache.txt")
        # ThreadSanitizer's suppressions live in the hidden source tree: a copy it can still read.
        options = env.get("TSAN_OPTIONS", "")
        suppressions = re.search(r"suppressions=([^: ]+)", options)
        if suppressions:
            copy = shutil.copy(suppressions.group(1), self.scratch.name)
            env["TSAN_OPTIONS"] = options.replace(suppressions.group(1), copy)
        done = subprocess.run(["unshare", "-m", "sh", "-c", script, "sh", *hidden, "--", self.program, *args],
                              capture_output=True, text=True, env=env, timeout=300)
        self.assertNotIn(done.returncode, (97, 98), "the build tree could not be hidden: " + done.stderr)
        return done

    def test_every_file_is_under_the_prefix_and_finds_its_libraries_relative_to_itself(self):
        installed = {os.path.relpath(os.path.join(root, name), self.destdir)
                     for root, _, files in os.walk(self.destdir) for name in files}
        self.assertTrue(all(path.startswith("usr/") for path in installed), sorted(installed)[:5])
        for expected in ("usr/bin/sysdiagnose-host", "usr/share/sysdiagnose/config/SysdiagnoseList.xml",
                         "usr/share/man/man1/sysdiagnose-host.1", "usr/share/applications/sysdiagnose-host.desktop",
                         "usr/share/bash-completion/completions/sysdiagnose-host",
                         "usr/lib/systemd/system/sysdiagnose-export.timer",
                         "usr/share/sysdiagnose/prometheus/sysdiagnose.rules.yml",
                         "usr/share/sysdiagnose/schemas/doctor.schema.json"):
            self.assertIn(expected, installed)
        plugins = [path for path in installed if path.endswith("/zel_plugin_sysdiagnose.so")]
        self.assertEqual(len(plugins), 1, plugins)
        self.assertRegex(plugins[0], r"^usr/lib/([a-z0-9_-]+/)?sysdiagnose/")
        elves = list(elf_files(self.usr))
        self.assertGreaterEqual(len(elves), 11)  # the program, the plug-in, nine host libraries
        for path in elves:
            for entry in run_paths(path):
                self.assertTrue(entry.startswith("$ORIGIN"), "%s: run path %s" % (path, entry))

    def test_the_service_names_the_installed_program(self):
        with open(os.path.join(self.usr, "lib/systemd/system/sysdiagnose-export.service")) as f:
            self.assertIn("ExecStart=/usr/bin/sysdiagnose-host doctor --textfile ", f.read())

    def test_it_runs_with_the_build_tree_out_of_reach(self):
        version = self.run_installed("--version")
        self.assertEqual((version.returncode, version.stdout), (0, "sysdiagnose-host %s\n" % VERSION))

        scan = self.run_installed("scan", "--json")
        self.assertEqual((scan.returncode, scan.stderr), (0, ""))
        categories = json.loads(scan.stdout)["categories"]
        self.assertEqual(len(categories), 12)  # the catalogue was found
        self.assertIn({"name": "Memory", "summary": "12GB"},
                      [{k: c[k] for k in ("name", "summary")} for c in categories])  # and the string tables

        doctor = self.run_installed("doctor", "--json")  # the plug-in loaded and answered on the bus
        self.assertEqual((doctor.returncode, doctor.stderr), (0, ""))
        last = json.loads(doctor.stdout)["reports"][-1]
        self.assertEqual((last["bFinished"], last["nAbnormalCount"]), (1, 5))
        self.assertNotIn("IDS_", last["strSummary"])

        layout = self.run_installed("layout", os.path.join(self.share, "layout", "sysdiagnose_scan.xml"))
        self.assertEqual((layout.returncode, layout.stderr), (0, ""))
        self.assertIn("lstSysdiagnoseScanItems", layout.stdout)

    def test_hiding_the_build_tree_is_real(self):
        # The build's own program, hidden the same way, cannot run at all.
        works, why = namespaces_work()
        if not works:
            self.skipTest("cannot hide the build tree in a mount namespace here: " + why)
        built = os.path.join(BUILD, "bin", "sysdiagnose-host")
        done = subprocess.run(["unshare", "-m", "sh", "-c", 'mount -t tmpfs none "$1" && exec "$2" --version', "sh",
                               BUILD, built], capture_output=True, text=True)
        self.assertNotEqual(done.returncode, 0)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
