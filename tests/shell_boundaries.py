#!/usr/bin/env python3
"""The boundary between the host and the plug-in, as the built files show it.

usage: shell_boundaries.py PLUGIN_MODULE HOST_PROGRAM SOURCE_DIR WINDOW_SERVER_MODULE

Passes when the module exports the six x3 functions under their plain names and nothing of its
own besides, the host program does not link the module, and no file under host/ includes a header
of plugin/; and when the browser server's HTTP stack (cpp-httplib, OpenSSL's TLS, brotli) is linked
by the window server's module alone, which only `ui` loads, not by the program; and when neither
`--help` nor `scan` of the running machine loads the checks' library or the window server's module.
"""
import os
import re
import subprocess
import tempfile
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


def loaded_by(program, *args):
    """The shared objects the dynamic loader opens for one run of the program."""
    with tempfile.TemporaryDirectory() as data:
        env = dict(os.environ, LD_DEBUG="files", SYSDIAGNOSE_MACHINE="", SYSDIAGNOSE_DATA_DIR=data)
        run = subprocess.run([program, *args], capture_output=True, text=True, env=env, timeout=120)
    return set(re.findall(r"file=(\S+) \[0\];\s+(?:dynamically loaded|needed) by", run.stderr))


LATE_MODULES = ("libhost_machine_checks.so", "sysdiagnose_ui_server.so")


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


# The browser server's stack: only the window server's module may bring it in.
HTTP_STACK = re.compile(r"^lib(cpp-httplib|ssl|brotli(enc|dec|common))\.so")


def main():
    module, program, source_dir, window_server = sys.argv[1:5]
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
    stack = [lib for lib in needed(program) if HTTP_STACK.match(os.path.basename(lib))]
    if stack:
        failures.append("the host program loads the browser server's stack: " + ", ".join(stack))
    if not any(HTTP_STACK.match(os.path.basename(lib)) for lib in needed(window_server)):
        failures.append("the window server's module does not link cpp-httplib: " + window_server)
    for args in (["--help"], ["scan", "--json"]):
        late = sorted(f for f in loaded_by(program, *args) if os.path.basename(f) in LATE_MODULES)
        if late:
            failures.append(" ".join(args) + " loads " + ", ".join(late))
    for failure in failures:
        print(failure)
    print("the module exports its six functions, the host keeps to its side, and only ui loads the HTTP stack"
          if not failures else "%d problem(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
