#!/usr/bin/python3
"""The manual page against the program: man renders it without a warning, and it lists exactly the
commands and options the --help texts list, every environment variable the program reads, its
exit statuses and its version.

usage: man_page.py HOST_PROGRAM MAN_PAGE SOURCE_DIR
"""
import os
import re
import subprocess
import sys
import unittest

import help_texts

HOST, PAGE, SOURCE = sys.argv[1:4] if len(sys.argv) >= 4 else (None, None, None)
# What the program's own code asks the environment for by name.
READS_ENVIRONMENT = re.compile(r'(?:getenv|Environment)\("([A-Z_]+)"\)')


def plain(roff):
    """The roff source without font changes and with its escaped hyphens as hyphens."""
    return re.sub(r"\\f[BIRP]", "", roff).replace("\\-", "-")


def sections(roff, macro):
    """{heading: body} of the .SH or .SS sections of `roff`, in order."""
    parts = re.split(r"^\.%s (.*)$" % macro, roff, flags=re.M)
    return {heading.strip('"'): body for heading, body in zip(parts[1::2], parts[2::2])}


class ManPage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(PAGE, encoding="utf-8") as f:
            cls.roff = f.read()
        cls.text = plain(cls.roff)
        cls.top = sections(cls.text, "SH")

    def test_man_renders_it_without_warnings(self):
        env = dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8")
        done = subprocess.run(["man", "--warnings", "-l", PAGE], capture_output=True, text=True, env=env,
                              timeout=60)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stderr, "")
        self.assertIn("EXIT STATUS", done.stdout)
        self.assertLessEqual(max(len(line) for line in done.stdout.splitlines()), 80)

    def test_it_describes_exactly_the_commands_the_program_lists(self):
        described = list(sections(self.top["COMMANDS"], "SS"))
        self.assertEqual(sorted(described), sorted(help_texts.commands(HOST)))

    def test_each_command_has_exactly_the_options_its_help_names(self):
        for command, body in sections(self.top["COMMANDS"], "SS").items():
            with self.subTest(command=command):
                self.assertEqual(set(help_texts.OPTION.findall(body)), help_texts.options(HOST, command))

    def test_the_options_every_command_takes_and_those_without_a_command_are_described(self):
        described = set(help_texts.OPTION.findall(self.top["OPTIONS"]))
        self.assertEqual(described, {"--machine", "--data-dir", "--verbose", "--help", "--version"})
        self.assertRegex(self.top["OPTIONS"], r"-v\W+--verbose")
        self.assertRegex(self.top["OPTIONS"], r"-h\W+--help")
        self.assertIn("--help | --version", help_texts.run(HOST, "--help"))

    def test_every_environment_variable_the_program_reads_is_described(self):
        read = set()
        for folder in ("host", "plugin"):
            for root, _, files in os.walk(os.path.join(SOURCE, folder)):
                for name in files:
                    if name.endswith((".cpp", ".h")):
                        with open(os.path.join(root, name), encoding="utf-8", errors="replace") as f:
                            read.update(READS_ENVIRONMENT.findall(f.read()))
        self.assertIn("SYSDIAGNOSE_MACHINE", read)  # the pattern still finds what the code reads
        environment = self.top["ENVIRONMENT"]
        for variable in sorted(read):
            self.assertRegex(environment, r"\b%s\b" % variable)

    def test_its_exit_statuses_and_version_are_the_programs(self):
        statuses = re.findall(r"^\.B (\d)$", self.top["EXIT STATUS"], flags=re.M)
        self.assertEqual(statuses, ["0", "1", "2"])
        self.assertIn("0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN", " ".join(self.top["EXIT STATUS"].split()))
        version = help_texts.run(HOST, "--version").split()[-1]
        title = re.search(r"^\.TH .*$", self.text, flags=re.M).group(0)
        self.assertIn('"sysdiagnose %s"' % version, title)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
