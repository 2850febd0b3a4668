#!/usr/bin/python3
"""Every --json document against the JSON Schema that ships for it (python3-jsonschema): doctor,
diagnose, scan, history and machine on every sample machine, machine on this and the recorded
machines, layout on every layout file. Each document begins with its format version, the one its
schema names; the schemas are strict, so a document that changes shape fails.

usage: json_schemas.py HOST_PROGRAM SCHEMA_DIR SOURCE_DIR
"""
import concurrent.futures
import copy
import glob
import json
import os
import subprocess
import sys
import tempfile
import unittest

import jsonschema

HOST, SCHEMAS, SOURCE = map(os.path.abspath, sys.argv[1:4]) if len(sys.argv) >= 4 else (None, None, None)
DOCUMENTS = ("doctor", "diagnose", "scan", "history", "machine", "layout")
SAMPLES = sorted(glob.glob(os.path.join(SOURCE or "", "resources", "machines", "*.json")))
RECORDED = sorted(glob.glob(os.path.join(SOURCE or "", "tests", "data", "machines", "*", "")))
LAYOUTS = sorted(glob.glob(os.path.join(SOURCE or "", "resources", "layout", "*.xml")))


def schema(document):
    with open(os.path.join(SCHEMAS, document + ".schema.json"), encoding="utf-8") as f:
        return json.load(f)


def run_json(args, data_dir):
    """The document `sysdiagnose-host ARGS` prints; its fields in their printed order."""
    env = dict(os.environ, SYSDIAGNOSE_DATA_DIR=data_dir, SYSDIAGNOSE_MACHINE="", SYSDIAGNOSE_MEMTEST_MB="1")
    done = subprocess.run([HOST, *args], capture_output=True, text=True, env=env, timeout=300)
    assert done.returncode == 0 and done.stderr == "", "%s: exit %d\n%s" % (args, done.returncode, done.stderr)
    return json.loads(done.stdout, object_pairs_hook=lambda pairs: dict(pairs))


def sample_runs(profile, scratch):
    """(schema, what ran, document) of every command on one sample machine, in one data directory."""
    data = os.path.join(scratch, os.path.basename(profile))
    machine = ["--machine", profile]
    # The diagnosis repairs too; the health check's repair reports are its detection's records again.
    commands = [("doctor", ["doctor", "--json", *machine]), ("diagnose", ["diagnose", "--json", "--repair", *machine]),
                ("scan", ["scan", "--json", *machine]), ("history", ["history", "--json", *machine]),
                ("machine", ["machine", "--json", profile])]
    return [(name, " ".join(args[:1] + [os.path.basename(profile)]), run_json(args, data)) for name, args in commands]


class JsonSchemas(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.validators = {}
        for document in DOCUMENTS:
            jsonschema.Draft202012Validator.check_schema(schema(document))
            cls.validators[document] = jsonschema.Draft202012Validator(schema(document))
        scratch = tempfile.TemporaryDirectory()
        cls.addClassCleanup(scratch.cleanup)
        # Two at a time: the sample machines' health checks take seconds each.
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            runs = list(pool.map(lambda profile: sample_runs(profile, scratch.name), SAMPLES))
        cls.outputs = [output for outputs in runs for output in outputs]
        cls.outputs.append(("machine", "machine (this machine)", run_json(["machine", "--json"], scratch.name)))
        for tree in RECORDED:
            cls.outputs.append(("machine", "machine " + tree, run_json(["machine", "--json", tree], scratch.name)))
        for layout in LAYOUTS:
            cls.outputs.append(("layout", "layout " + os.path.basename(layout),
                                run_json(["layout", "--json", layout], scratch.name)))

    def test_every_command_ran_on_every_sample_machine(self):
        self.assertEqual(len(SAMPLES), 4)
        ran = {(name, what.split()[-1]) for name, what, _ in self.outputs if name != "layout"}
        for profile in SAMPLES:
            for document in ("doctor", "diagnose", "scan", "history", "machine"):
                self.assertIn((document, os.path.basename(profile)), ran)
        self.assertGreaterEqual(len(LAYOUTS), 10)

    def test_every_document_validates_against_its_schema(self):
        for name, what, document in self.outputs:
            with self.subTest(what):
                errors = sorted(self.validators[name].iter_errors(document), key=lambda e: list(e.absolute_path))
                self.assertEqual(["%s: %s" % (list(e.absolute_path), e.message) for e in errors[:5]], [])

    def test_every_document_begins_with_the_format_version_its_schema_names(self):
        for name, what, document in self.outputs:
            with self.subTest(what):
                self.assertEqual(next(iter(document)), "json_format_version")
                self.assertEqual(document["json_format_version"], [1, 1])
        for document in DOCUMENTS:
            version = schema(document)
            for step in ("$defs", "version") if document == "machine" else ("properties", "json_format_version"):
                version = version[step]
            self.assertEqual(version, {"const": [1, 1]}, document)

    def test_a_document_of_another_shape_is_refused(self):
        first = {name: document for name, _, document in reversed(self.outputs)}
        report = first["doctor"]["reports"][0]
        changes = [
            ("doctor", lambda d: d.update(json_format_version=[2, 0])),
            ("doctor", lambda d: d.pop("reports")),
            ("doctor", lambda d: d["reports"][0].update(nState="abnormal")),
            ("doctor", lambda d: d["reports"][0]["vecItems"][0].pop("strName")),
            ("doctor", lambda d: d["verdicts"]["categories"].append({"name": "Memory", "verdict": "fault"})),
            ("scan", lambda d: d["categories"][0].update(model="x")),
            ("diagnose", lambda d: d.update(ending="stopped")),
            ("history", lambda d: d.update(runs={})),
            ("machine", lambda d: d["profile"]["hardware"].update(gpu={})),
            ("layout", lambda d: d["children"][0].update(colour="#FFFFFFFF")),
        ]
        self.assertTrue(report["vecItems"], "a report with rows to change")
        for name, change in changes:
            changed = copy.deepcopy(first[name])
            change(changed)
            with self.subTest(name=name, document=json.dumps(changed)[:120]):
                self.assertFalse(self.validators[name].is_valid(changed))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
