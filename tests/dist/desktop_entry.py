#!/usr/bin/python3
"""The desktop entry and what it starts: desktop-file-validate accepts the entry, its icon is there
in every size it ships, and its command line, `sysdiagnose-host ui --open`, serves the window and
hands the URL to xdg-open (a stand-in here that records what it was given), apart from the
program's terminal session and signals. A failing or missing xdg-open is one line on stderr while
the window is still served; Ctrl-C, SIGTERM and a closed terminal end the program cleanly.

usage: desktop_entry.py HOST_PROGRAM DESKTOP_DIR MACHINES_DIR
"""
import configparser
import os
import select
import shlex
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

HOST, DESKTOP, MACHINES = map(os.path.abspath, sys.argv[1:4]) if len(sys.argv) >= 4 else (None, None, None)
ENTRY = "sysdiagnose-host.desktop"
SIZES = (16, 24, 32, 48, 64, 128, 256)

# Records its argument, its blocked signals and its session, then exits with $OPENER_EXIT.
FAKE_OPENER = """#!/bin/sh
{ printf 'url=%s\\n' "$1"; grep '^SigBlk:' /proc/self/status; printf 'session=%s\\n' "$(cut -d' ' -f6 /proc/$$/stat)"; } > "$OPENER_LOG"
exit "${OPENER_EXIT:-0}"
"""


def png_size(path):
    with open(path, "rb") as f:
        header = f.read(24)
    assert header[:8] == b"\x89PNG\r\n\x1a\n", path + " is not a PNG"
    return struct.unpack(">II", header[16:24])


def read_entry():
    entry = configparser.ConfigParser(interpolation=None)
    entry.optionxform = str
    entry.read(os.path.join(DESKTOP, ENTRY), encoding="utf-8")
    return entry["Desktop Entry"]


class UiRun:
    """`sysdiagnose-host ui ARGS` with the opener stand-in on PATH (or no opener at all)."""

    def __init__(self, scratch, args, opener_exit=None):
        self.log = os.path.join(scratch, "opener.log")
        bin_dir = os.path.join(scratch, "bin")
        os.makedirs(bin_dir, exist_ok=True)
        opener = os.path.join(bin_dir, "xdg-open")
        if os.path.exists(opener):
            os.remove(opener)
        if opener_exit is not None:
            with open(opener, "w") as f:
                f.write(FAKE_OPENER)
            os.chmod(opener, 0o755)
        env = dict(os.environ, PATH=bin_dir + ":/usr/bin:/bin" if opener_exit is not None else bin_dir,
                   OPENER_LOG=self.log, OPENER_EXIT=str(opener_exit or 0),
                   SYSDIAGNOSE_DATA_DIR=os.path.join(scratch, "data"),
                   SYSDIAGNOSE_MACHINE=os.path.join(MACHINES, "healthy-notebook.json"))
        self.process = subprocess.Popen([HOST, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                        env=env, start_new_session=True)
        self.url = self.process.stdout.readline().strip()

    def opener_log(self, timeout=10):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if os.path.exists(self.log):
                with open(self.log) as f:
                    lines = f.read().splitlines()
                if len(lines) >= 3:
                    return dict(line.split("=", 1) if "=" in line else line.split(":", 1) for line in lines)
            time.sleep(0.05)
        raise AssertionError("the opener was not started")

    def stderr_line(self, timeout=10):
        """The first line on stderr, read while the program runs."""
        fd, deadline, text = self.process.stderr.fileno(), time.monotonic() + timeout, b""
        while b"\n" not in text and select.select([fd], [], [], max(0, deadline - time.monotonic()))[0]:
            chunk = os.read(fd, 4096)
            if not chunk:
                break
            text += chunk
        return text.decode().split("\n")[0]

    def page(self):
        with urllib.request.urlopen(self.url, timeout=10) as response:
            return response.status, response.read().decode("utf-8", "replace")

    def end(self, signal_number):
        """Its exit status and the rest of its stderr after the signal."""
        self.process.send_signal(signal_number)
        _, err = self.process.communicate(timeout=30)
        return self.process.returncode, err

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.communicate()


class DesktopEntry(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.addCleanup(self.scratch.cleanup)

    def start(self, args, opener_exit):
        run = UiRun(self.scratch.name, args, opener_exit)
        self.addCleanup(run.kill)
        return run

    def test_desktop_file_validate_accepts_the_entry(self):
        done = subprocess.run(["desktop-file-validate", os.path.join(DESKTOP, ENTRY)], capture_output=True, text=True)
        self.assertEqual((done.returncode, done.stdout + done.stderr), (0, ""))

    def test_its_command_is_the_programs_and_its_icon_ships_in_every_size(self):
        entry = read_entry()
        self.assertEqual(shlex.split(entry["Exec"]), ["sysdiagnose-host", "ui", "--open"])
        self.assertEqual(entry["Terminal"], "true")  # the window lives as long as the program: the terminal ends it
        with open(os.path.join(DESKTOP, entry["Icon"] + ".svg"), encoding="utf-8") as f:
            self.assertIn('viewBox="0 0 64 64"', f.read())
        for size in SIZES:
            self.assertEqual(png_size(os.path.join(DESKTOP, str(size), entry["Icon"] + ".png")), (size, size))

    def test_ui_open_hands_the_served_url_to_xdg_open_apart_from_its_session_and_signals(self):
        run = self.start(["ui", "--open"], opener_exit=0)
        self.assertRegex(run.url, r"^http://127\.0\.0\.1:\d+/\S+$")
        opened = run.opener_log()
        self.assertEqual(opened["url"], run.url)
        self.assertEqual(int(opened["SigBlk"].strip(), 16), 0, "the opener inherited blocked signals")
        self.assertNotEqual(int(opened["session"]), os.getsid(run.process.pid))
        self.assertEqual(run.page()[0], 200)
        self.assertEqual(run.end(signal.SIGHUP), (0, ""))  # the terminal closed

    def test_a_failing_or_missing_xdg_open_is_one_line_and_the_window_is_still_served(self):
        # Ctrl-C ends the window as the user's own ending; SIGTERM ends it at once, by that signal.
        cases = [
            (3, "sysdiagnose-host ui: xdg-open could not open a browser (exit status 3); open the URL yourself",
             signal.SIGINT, 0),
            (None, "sysdiagnose-host ui: cannot start xdg-open (No such file or directory); open the URL yourself",
             signal.SIGTERM, -signal.SIGTERM),
        ]
        for opener_exit, line, ending, status in cases:
            with self.subTest(opener_exit=opener_exit):
                run = self.start(["ui", "--open"], opener_exit=opener_exit)
                self.assertEqual(run.stderr_line(), line)
                self.assertEqual(run.page()[0], 200)
                self.assertEqual(run.end(ending), (status, ""))

    def test_without_open_nothing_is_opened(self):
        run = self.start(["ui"], opener_exit=0)
        self.assertEqual(run.page()[0], 200)
        self.assertEqual(run.end(signal.SIGINT), (0, ""))
        self.assertFalse(os.path.exists(run.log))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
