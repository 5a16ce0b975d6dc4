"""`cpack` builds zelmora_<version>_<arch>.deb: its files, their owners and
modes, its control fields, Depends naming the package of every shared library
the programs link, and programs that work when taken out of the package."""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest

from packaging_util import require, run

ARGS = None
DEB = None        # the package built once for all tests
CONTENTS = None   # {path: (mode, owner, size)}
FIELDS = None     # control fields
EXTRACTED = None  # folder the package was unpacked into


def build_package():
    global DEB, CONTENTS, FIELDS, EXTRACTED
    cpack = require("cpack", "cmake")
    dpkg_deb = require("dpkg-deb", "dpkg")
    require("dpkg-shlibdeps", "dpkg-dev")
    arch = run([require("dpkg", "dpkg"), "--print-architecture"]).stdout.decode().strip()
    shutil.rmtree(ARGS.scratch, ignore_errors=True)
    os.makedirs(ARGS.scratch)
    r = run([cpack, "--config", os.path.join(ARGS.build, "CPackConfig.cmake"), "-B", ARGS.scratch],
            cwd=ARGS.build, timeout=600)
    assert r.returncode == 0, r.stdout.decode() + r.stderr.decode()
    DEB = os.path.join(ARGS.scratch, f"zelmora_{ARGS.version}_{arch}.deb")
    assert os.path.isfile(DEB), "not built: " + DEB + "\n" + r.stdout.decode()

    listing = run([dpkg_deb, "-c", DEB]).stdout.decode()
    CONTENTS = {}
    for line in listing.splitlines():
        mode, owner, size, _date, _time, path = line.split(None, 5)
        CONTENTS[path.removeprefix("./").rstrip("/")] = (mode, owner, int(size))
    r = run([dpkg_deb, "-f", DEB])
    assert r.returncode == 0, r.stderr.decode()
    FIELDS = {}
    key = None
    for line in r.stdout.decode().splitlines():
        if line.startswith(" ") and key:
            FIELDS[key] += "\n" + line
        else:
            key, _, value = line.partition(": ")
            FIELDS[key] = value
    EXTRACTED = os.path.join(ARGS.scratch, "root")
    r = run([dpkg_deb, "-x", DEB, EXTRACTED])
    assert r.returncode == 0, r.stderr.decode()


def programs():
    return ["zelmora-cli"] + (["zelmora"] if ARGS.window else [])


class Files(unittest.TestCase):
    def test_everything_a_user_needs(self):
        expected = [f"usr/bin/{p}" for p in programs()]
        expected += [f"usr/share/man/man1/{p}.1.gz" for p in programs()]
        expected.append("usr/share/bash-completion/completions/zelmora-cli")
        if ARGS.window:
            expected += ["usr/share/applications/zelmora.desktop",
                         "usr/share/icons/hicolor/16x16/apps/zelmora.png",
                         "usr/share/icons/hicolor/48x48/apps/zelmora.png"]
        for path in expected:
            with self.subTest(path=path):
                self.assertIn(path, CONTENTS)
                self.assertGreater(CONTENTS[path][2], 0)

    def test_nothing_but_programs_and_shared_data_under_usr(self):
        allowed = ("usr/bin/", "usr/share/man/man1/", "usr/share/applications/", "usr/share/icons/hicolor/",
                   "usr/share/bash-completion/completions/", "usr/share/doc/zelmora/")
        for path, (mode, _owner, _size) in CONTENTS.items():
            if mode.startswith("d"):
                continue
            with self.subTest(path=path):
                self.assertTrue(path.startswith(allowed), "unexpected file in the package")
                self.assertNotRegex(path, r"\.(a|h|so|cmake)$")

    def test_owned_by_root_with_plain_modes(self):
        for path, (mode, owner, _size) in CONTENTS.items():
            with self.subTest(path=path):
                self.assertEqual(owner, "root/root")
                if mode.startswith("d") or path.startswith("usr/bin/"):
                    self.assertEqual(mode[1:], "rwxr-xr-x")
                else:
                    self.assertEqual(mode, "-rw-r--r--")

    def test_programs_are_stripped(self):
        objdump = require("objdump", "binutils")
        for p in programs():
            with self.subTest(program=p):
                sections = run([objdump, "-h", os.path.join(EXTRACTED, "usr/bin", p)]).stdout.decode()
                self.assertIn(".text", sections)
                self.assertNotIn(".symtab", sections)
                self.assertNotIn(".debug_info", sections)

    def test_icons_have_the_size_of_their_folder(self):
        if not ARGS.window:
            self.skipTest("built without the window")
        for size in (16, 48):
            with self.subTest(size=size):
                with open(os.path.join(EXTRACTED, f"usr/share/icons/hicolor/{size}x{size}/apps/zelmora.png"), "rb") as f:
                    head = f.read(24)
                self.assertEqual(head[:8], b"\x89PNG\r\n\x1a\n")
                self.assertEqual(struct.unpack(">II", head[16:24]), (size, size))

    def test_desktop_entry_starts_the_installed_program(self):
        if not ARGS.window:
            self.skipTest("built without the window")
        with open(os.path.join(EXTRACTED, "usr/share/applications/zelmora.desktop"), encoding="utf-8") as f:
            lines = f.read().splitlines()
        # %f: a file manager's "open with" passes the file.
        self.assertIn("Exec=zelmora %f", lines)
        self.assertIn("Icon=zelmora", lines)


class Control(unittest.TestCase):
    def test_fields(self):
        self.assertEqual(FIELDS["Package"], "zelmora")
        self.assertEqual(FIELDS["Version"], ARGS.version)
        self.assertEqual(FIELDS["Architecture"], os.path.basename(DEB).rsplit("_", 1)[1][:-4])
        self.assertRegex(FIELDS["Maintainer"], r"^[^<>]+ <[^@<>\s]+@[^@<>\s]+>$")
        self.assertEqual(FIELDS["Section"], "utils")
        summary, _, long = FIELDS["Description"].partition("\n")
        self.assertTrue(0 < len(summary) <= 80, summary)
        self.assertGreater(len(long.splitlines()), 3)
        for line in long.splitlines():
            self.assertTrue(line.startswith(" ") and len(line) <= 81, repr(line))

    def test_installed_size_counts_the_files(self):
        files = sum(size for mode, _o, size in CONTENTS.values() if not mode.startswith("d"))
        installed = int(FIELDS["Installed-Size"])  # KiB
        self.assertGreaterEqual(installed * 1024, files)
        # dpkg counts whole blocks per file and folder: a few KiB each at most.
        self.assertLessEqual(installed * 1024, files + 4096 * len(CONTENTS))

    def depends(self):
        names = set()
        for alternative in re.split(r"[,|]", FIELDS.get("Depends", "")):
            name = alternative.strip().split(" ")[0]
            if name:
                names.add(name)
        return names

    def test_depends_on_the_package_of_every_linked_library(self):
        objdump = require("objdump", "binutils")
        dpkg = require("dpkg", "dpkg")
        depends = self.depends()
        libraries = 0
        for p in programs():
            dynamic = run([objdump, "-p", os.path.join(EXTRACTED, "usr/bin", p)]).stdout.decode()
            for soname in re.findall(r"^\s*NEEDED\s+(\S+)$", dynamic, re.M):
                libraries += 1
                owners = run([dpkg, "-S", "*/" + soname]).stdout.decode()
                packages = {line.split(":")[0].split(",")[0] for line in owners.splitlines() if ":" in line}
                with self.subTest(program=p, library=soname):
                    self.assertTrue(packages, "no installed package has " + soname)
                    self.assertTrue(packages & depends, f"{soname} is in {packages}, none of them in Depends")
        self.assertGreater(libraries, 5)

    def test_depends_names_the_runtime_libraries(self):
        depends = " ".join(sorted(self.depends()))
        wanted = [r"\blibicu\d+\b", r"\blibdivsufsort\d\b", r"\blibyaml-cpp0\.\d+\b"]
        if ARGS.window:
            wanted += [r"\blibqt6widgets6\b", r"\blibqt6gui6\b", r"\blibqt6core6\b", r"\blibjpeg62-turbo\b"]
        for pattern in wanted:
            with self.subTest(pattern=pattern):
                self.assertRegex(depends, pattern)
        self.assertNotRegex(depends, r"-dev\b")


class Unpacked(unittest.TestCase):
    """The programs as the package holds them, run where they were unpacked."""

    def test_cli_gives_what_the_build_gives(self):
        with tempfile.TemporaryDirectory() as d:
            ours, theirs = os.path.join(d, "package"), os.path.join(d, "build")
            a = run([os.path.join(EXTRACTED, "usr/bin/zelmora-cli"), "run", "--builtin", "--out", ours])
            b = run([ARGS.cli, "run", "--builtin", "--out", theirs])
            self.assertEqual(a.returncode, 0, a.stderr.decode())
            self.assertEqual(a.stdout, b.stdout)
            self.assertEqual(sorted(os.listdir(ours)), sorted(os.listdir(theirs)))
            for name in os.listdir(theirs):
                with open(os.path.join(ours, name), "rb") as x, open(os.path.join(theirs, name), "rb") as y:
                    self.assertEqual(x.read(), y.read(), name)

    def test_window_starts_and_stays_up(self):
        if not ARGS.window:
            self.skipTest("built without the window")
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        with tempfile.TemporaryDirectory() as d, open(os.path.join(d, "stderr"), "w+b") as errors:
            window = subprocess.Popen([os.path.join(EXTRACTED, "usr/bin/zelmora")], cwd=d, env=env,
                                      stdout=subprocess.DEVNULL, stderr=errors)
            try:
                time.sleep(2)
                ended = window.poll()
            finally:
                window.terminate()
                window.wait(10)
            errors.seek(0)
            self.assertIsNone(ended, "the window ended at once: " + errors.read().decode(errors="replace"))


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--scratch", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--window", action="store_true")
    ARGS, rest = parser.parse_known_args()
    for name in ("build", "scratch", "cli"):
        setattr(ARGS, name, os.path.abspath(getattr(ARGS, name)))
    build_package()
    unittest.main(argv=[sys.argv[0]] + rest)
