"""Helpers shared by the packaging tests: required tools and the command
line's own account of its commands and options."""
import functools
import os
import re
import shutil
import subprocess


class MissingTool(AssertionError):
    pass


def require(tool, package):
    """The path of `tool`; fails naming the Debian package that has it."""
    path = shutil.which(tool)
    if not path:
        raise MissingTool(f"{tool} not found: install the Debian package {package} "
                          f"(scripts/install-deps installs it)")
    return path


def run(args, **kwargs):
    kwargs.setdefault("stdout", subprocess.PIPE)
    kwargs.setdefault("stderr", subprocess.PIPE)
    return subprocess.run(args, check=False, **kwargs)


@functools.lru_cache(maxsize=None)
def cli_help(cli, *command):
    r = run([cli, *command, "--help"], env=dict(os.environ, COLUMNS="200"))
    assert r.returncode == 0, r.stderr.decode()
    return r.stdout.decode()


def subcommands(cli):
    """The commands `zelmora-cli --help` lists, in its order."""
    text = cli_help(cli)
    section = text.split("Subcommands:", 1)[1]
    names = []
    for line in section.splitlines():
        m = re.match(r"^  (\S+)\s{2,}\S", line)
        if m:
            names.append(m.group(1))
    assert names, "no subcommands in zelmora-cli --help:\n" + text
    return names


@functools.lru_cache(maxsize=None)
def _options(cli, *command):
    """{long option: its help text} for one command, from its --help."""
    text = cli_help(cli, *command)
    found = {}
    current = None
    for line in text.split("Options:", 1)[1].splitlines():
        m = re.match(r"^  (-\S+)(.*)$", line)
        if m:
            names = m.group(1).split(",")
            current = [n for n in names if n.startswith("--")][0]
            found[current] = m.group(2)
        elif current and line.startswith("   "):
            found[current] += " " + line.strip()
        elif not line.strip():
            current = None
    assert found, f"no options in zelmora-cli {' '.join(command)} --help"
    return tuple(found.items())


def options(cli, *command):
    """{long option: its help text} for one command, from its --help; without
    a command, the options taken before one."""
    return dict(_options(cli, *command))


@functools.lru_cache(maxsize=None)
def known_names(cli, option, what):
    """The values the program accepts for an encoding or format option, from
    its own message on an unknown one."""
    r = run([cli, "convert", option, "no-such-" + what, os.devnull, "-"])
    m = re.search(r"\(known: ([^)]*)\)", r.stderr.decode())
    assert m, f"no list of known {what}s in: {r.stderr.decode()!r}"
    return [n.strip() for n in m.group(1).split(",")]
