#!/usr/bin/env python3
"""The boundary between the host and the plug-in, as the built files show it.

usage: shell_boundaries.py PLUGIN_MODULE HOST_PROGRAM SOURCE_DIR

Passes when the module exports the six x3 functions under their plain names and nothing of its
own besides, the host program does not link the module, and no file under host/ includes a header
of plugin/.
"""
import os
import re
import subprocess
import sys

X3_EXPORTS = {"x3InitPlugin", "x3FreePlugin", "x3InternalCreate", "x3CreateObject", "x3InitializePlugin",
              "x3UninitializePlugin"}
# What the toolchain itself puts in every shared library's dynamic symbol table.
TOOLCHAIN = {"_init", "_fini", "__bss_start", "_edata", "_end"}


def exported(module):
    out = subprocess.run(["nm", "-D", "--defined-only", module], capture_output=True, text=True, check=True).stdout
    return {line.split()[-1] for line in out.splitlines() if line.strip()}


def needed(program):
    out = subprocess.run(["ldd", program], capture_output=True, text=True, check=True).stdout
    return [line.split()[0] for line in out.splitlines() if line.strip()]


def plugin_includes(source_dir):
    folders = [d for d in os.listdir(os.path.join(source_dir, "plugin"))
               if os.path.isdir(os.path.join(source_dir, "plugin", d))]
    pattern = re.compile(r'^\s*#\s*include\s*[<"](?:plugin/)?(%s)/' % "|".join(map(re.escape, folders)))
    found = []
    for root, _, files in os.walk(os.path.join(source_dir, "host")):
        for name in files:
            path = os.path.join(root, name)
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    if pattern.match(line):
                        found.append("%s:%d: %s" % (os.path.relpath(path, source_dir), number, line.strip()))
    return found


def main():
    module, program, source_dir = sys.argv[1:4]
    failures = []
    symbols = exported(module)
    missing = X3_EXPORTS - symbols
    extra = symbols - X3_EXPORTS - TOOLCHAIN
    if missing:
        failures.append("the module does not export " + ", ".join(sorted(missing)))
    if extra:
        failures.append("the module exports more than the x3 functions: " + ", ".join(sorted(extra)[:20]))
    linked = [lib for lib in needed(program) if os.path.basename(module) in lib]
    if linked:
        failures.append("the host program links the module: " + ", ".join(linked))
    failures += ["a host file includes a plug-in header: " + f for f in plugin_includes(source_dir)]
    for failure in failures:
        print(failure)
    print("the module exports its six functions, and the host keeps to its side"
          if not failures else "%d problem(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
