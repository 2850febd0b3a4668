#!/usr/bin/python3
"""The bash completion through bash's own machinery: bash-completion loaded, the file sourced, the
function `complete` registered for sysdiagnose-host called on a command line. It completes the
commands and each command's options as the --help texts list them, the category names, and files:
machine profiles (with the samples shipped beside the program on PATH), layouts, textfiles.

usage: bash_completion.py HOST_PROGRAM COMPLETION_FILE
"""
import os
import shlex
import subprocess
import sys
import tempfile
import unittest

import help_texts

HOST, COMPLETION = map(os.path.abspath, sys.argv[1:3]) if len(sys.argv) >= 3 else (None, None)
BASH_COMPLETION = "/usr/share/bash-completion/bash_completion"


def complete(words, cwd, path):
    """What bash offers for the last of `words` (the word being completed), as a sorted list."""
    line = " ".join(words)
    script = "\n".join([
        "source %s" % BASH_COMPLETION,
        "source %s" % shlex.quote(COMPLETION),
        "registered=$(complete -p sysdiagnose-host) || exit 3",
        "function=${registered#*-F }; function=${function%% *}",
        "COMP_WORDS=(%s)" % " ".join(shlex.quote(w) for w in words),
        "COMP_CWORD=%d" % (len(words) - 1),
        "COMP_LINE=%s; COMP_POINT=${#COMP_LINE}" % shlex.quote(line),
        '"$function" sysdiagnose-host %s %s' % (shlex.quote(words[-1]), shlex.quote(words[-2])),
        'printf "%s\\n" "${COMPREPLY[@]}"',
    ])
    done = subprocess.run(["bash", "--norc", "--noprofile", "-c", script], cwd=cwd, capture_output=True, text=True,
                          env=dict(os.environ, PATH=path), timeout=30)
    assert done.returncode == 0, "%s: exit %d\n%s" % (line, done.returncode, done.stderr)
    return sorted(w for w in done.stdout.split("\n") if w)


class BashCompletion(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory()
        top = cls.scratch.name
        # An installed tree as the completion finds it: the program on PATH, the samples under
        # ../share/sysdiagnose from it.
        cls.bin = os.path.join(top, "prefix", "bin")
        cls.samples = os.path.join(top, "prefix", "share", "sysdiagnose", "machines")
        os.makedirs(cls.bin)
        os.makedirs(cls.samples)
        os.symlink(os.path.abspath(HOST), os.path.join(cls.bin, "sysdiagnose-host"))
        for name in ("desktop.json", "faulty-notebook.json"):
            open(os.path.join(cls.samples, name), "w").close()
        cls.cwd = os.path.join(top, "work")
        os.makedirs(os.path.join(cls.cwd, "recorded"))
        for name in ("mine.json", "notes.txt", "health.prom", "page.xml"):
            open(os.path.join(cls.cwd, name), "w").close()
        cls.path = cls.bin + ":/usr/bin:/bin"

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def offered(self, *words):
        return complete(["sysdiagnose-host", *words], self.cwd, self.path)

    def test_the_commands_are_those_the_program_lists(self):
        self.assertEqual(self.offered(""), sorted(help_texts.commands(HOST) + ["--help", "--version"]))
        self.assertEqual(self.offered("d"), ["diagnose", "doctor"])

    def test_each_commands_options_are_those_its_help_names(self):
        for command in help_texts.commands(HOST):
            with self.subTest(command=command):
                expected = help_texts.options(HOST, command) | {"--help"}
                self.assertEqual(self.offered(command, "--"), sorted(expected))
        self.assertEqual(self.offered("doctor", "--json", "--re"), ["--repair"])

    def test_the_diagnosis_completes_the_category_names_it_takes(self):
        self.assertEqual(self.offered("diagnose", "--repair", ""), sorted(help_texts.categories(HOST)))
        self.assertEqual(self.offered("diagnose", "memory", "b"), ["battery", "bluetooth"])

    def test_files_are_completed_by_what_the_option_or_argument_takes(self):
        sample = lambda name: os.path.join(self.samples, name)
        cases = [
            (("scan", "--machine", ""), ["mine.json", "recorded/", sample("desktop.json"), sample("faulty-notebook.json")]),
            (("machine", self.samples + "/f"), [sample("faulty-notebook.json")]),
            (("doctor", "--textfile", ""), ["health.prom", "recorded/"]),
            (("layout", "--json", ""), ["page.xml", "recorded/"]),
            (("history", "--data-dir", ""), ["recorded/"]),
            (("history", "--days", ""), []),
            (("ui", "--port", ""), []),
        ]
        for words, expected in cases:
            with self.subTest(words=words):
                # bash-completion marks directories with a slash only when it prints them.
                offered = [w + "/" if os.path.isdir(os.path.join(self.cwd, w)) else w for w in self.offered(*words)]
                self.assertEqual(offered, sorted(expected))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
