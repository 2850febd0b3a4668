"""What the program's --help texts list: its commands, each command's options and the diagnosis's
category names. The manual page and the shell completion are held to them."""
import re
import subprocess

OPTION = re.compile(r"(?<![\w-])(--[a-z][a-z-]*)")


def run(host, *args):
    done = subprocess.run([host, *args], capture_output=True, text=True, timeout=60)
    assert done.returncode == 0, "%s %s: exit %d\n%s" % (host, " ".join(args), done.returncode, done.stderr)
    return done.stdout


def commands(host):
    """The commands `sysdiagnose-host --help` lists, in its order."""
    text = run(host, "--help")
    listed = text[text.index("commands:\n") + len("commands:\n"):].split("\n\n")[0]
    return [line.split()[0] for line in listed.splitlines() if line.strip()]


def options(host, command):
    """The long options `sysdiagnose-host COMMAND --help` names."""
    return set(OPTION.findall(run(host, command, "--help")))


def categories(host):
    """The category names `sysdiagnose-host diagnose --help` names, aliases in brackets included."""
    text = " ".join(run(host, "diagnose", "--help").split())
    named = re.search(r"one of (.*?) \(default", text).group(1)
    return set(re.findall(r"[a-z]+", named))
