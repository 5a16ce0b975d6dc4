"""The manual pages as built: they render without a warning in man, groff and
mandoc, and zelmora-cli(1) describes every command and option the program has,
the files `run` writes and the status lines it prints; zelmora(1) names every
menu command and tab of the window."""
import argparse
import gzip
import os
import re
import sys
import tempfile
import unittest

from packaging_util import options, require, run, subcommands

ARGS = None


def page_path(name):
    return os.path.join(ARGS.pages, name + ".1.gz")


def source(name):
    with gzip.open(page_path(name), "rt", encoding="utf-8") as f:
        return f.read()


def plain(roff):
    """Roff text with font changes and escaped minus signs taken out."""
    text = re.sub(r"\\f[BIRP]|\\f\[[A-Z]*\]", "", roff)
    return text.replace("\\-", "-").replace("\\(en", "-").replace("\\e", "\\")


def rendered(name):
    env = dict(os.environ, LC_ALL="C.UTF-8", MANWIDTH="80", MAN_KEEP_FORMATTING="")
    r = run([ARGS.man, "--warnings=all", "-E", "UTF-8", "-l", page_path(name)], env=env)
    return r


def blocks(roff, section):
    """{subsection title: its lines} of one .SH section."""
    found, current, inside = {}, None, False
    for line in roff.splitlines():
        if line.startswith(".SH "):
            inside = line[4:].strip().strip('"') == section
            current = None
        elif inside and line.startswith(".SS "):
            current = line[4:].strip().strip('"')
            found[current] = []
        elif inside and current:
            found[current].append(line)
    return found


def section_text(roff, section):
    m = re.search(r'^\.SH "?' + re.escape(section) + r'"?\n(.*?)(?=^\.SH |\Z)', roff, re.M | re.S)
    assert m, f"no section {section}"
    return m.group(1)


class Rendering(unittest.TestCase):
    def pages(self):
        return ["zelmora-cli"] + (["zelmora"] if ARGS.form else [])

    def test_man_renders_without_warnings(self):
        for name in self.pages():
            with self.subTest(page=name):
                r = rendered(name)
                self.assertEqual(r.stderr.decode(), "")
                self.assertEqual(r.returncode, 0)
                text = r.stdout.decode()
                self.assertIn("NAME", text)
                self.assertIn("SYNOPSIS", text)
                self.assertRegex(text, r"(?m)^ +" + re.escape(name) + r" +[-\u2010\u2212] ")
                self.assertIn("Zelmora " + ARGS.version, text)
                # No roff escape got through as text.
                self.assertNotRegex(text, r"\\[f(\-e]|@PROJECT_VERSION@")

    def test_groff_and_mandoc_find_nothing(self):
        groff = require("groff", "groff-base")
        mandoc = require("mandoc", "mandoc")
        for name in self.pages():
            with self.subTest(page=name):
                with tempfile.NamedTemporaryFile("w", suffix=".1", encoding="utf-8") as f:
                    f.write(source(name))
                    f.flush()
                    r = run([groff, "-man", "-Tutf8", "-K", "utf8", "-ww", "-z", f.name])
                    self.assertEqual((r.returncode, r.stderr.decode()), (0, ""))
                    r = run([mandoc, "-T", "lint", "-W", "warning", f.name])
                    self.assertEqual((r.returncode, r.stdout.decode() + r.stderr.decode()), (0, ""))

    def test_compressed_as_debian_keeps_them(self):
        for name in self.pages():
            with self.subTest(page=name):
                with open(page_path(name), "rb") as f:
                    header = f.read(10)
                self.assertEqual(header[:3], b"\x1f\x8b\x08")
                self.assertEqual(header[3] & 0x08, 0, "file name stored (gzip without -n)")
                self.assertEqual(header[4:8], b"\0\0\0\0", "time stamp stored (gzip without -n)")
                self.assertEqual(header[8], 2, "not compressed with -9")


class CliPage(unittest.TestCase):
    def setUp(self):
        self.roff = source("zelmora-cli")
        self.commands = blocks(self.roff, "COMMANDS")

    def test_every_command_has_its_subsection_and_no_other(self):
        self.assertEqual(sorted(self.commands), sorted(subcommands(ARGS.cli)),
                         "each command of zelmora-cli --help needs its '.SS COMMAND' under COMMANDS "
                         "in packaging/zelmora-cli.1.in")

    def test_each_command_names_all_its_options(self):
        for command in subcommands(ARGS.cli):
            text = plain("\n".join(self.commands.get(command, [])))
            for option in options(ARGS.cli, command):
                if option == "--help":
                    continue
                with self.subTest(command=command, option=option):
                    self.assertRegex(text, r"(?<![\w-])" + re.escape(option) + r"(?![\w-])",
                                     f"name {option} in the synopsis of '.SS {command}' in packaging/zelmora-cli.1.in")

    def test_every_option_is_described(self):
        described = set()
        lines = self.roff.splitlines()
        for i, line in enumerate(lines[:-1]):
            if line.startswith(".TP"):
                described.update(re.findall(r"--[a-z][a-z-]*", plain(lines[i + 1])))
        for command in [(), *((c,) for c in subcommands(ARGS.cli))]:
            for option in options(ARGS.cli, *command):
                with self.subTest(command=command, option=option):
                    self.assertIn(option, described,
                                  "describe it in a tagged paragraph (.TP, then .B or .BI) in packaging/zelmora-cli.1.in")

    def test_options_before_a_command(self):
        synopsis = plain(section_text(self.roff, "SYNOPSIS"))
        for option in options(ARGS.cli):
            with self.subTest(option=option):
                self.assertRegex(synopsis, r"(?<![\w-])" + re.escape(option) + r"(?![\w-])",
                                 "name it in the SYNOPSIS of packaging/zelmora-cli.1.in")
        # The version line as the program prints it.
        r = run([ARGS.cli, "--version"])
        self.assertEqual(r.returncode, 0, r.stderr.decode())
        self.assertIn(r.stdout.decode().strip(), plain(section_text(self.roff, "OPTIONS")))

    def test_result_files_of_run(self):
        section = plain(section_text(self.roff, "RESULT FILES"))
        with tempfile.TemporaryDirectory() as out:
            r = run([ARGS.cli, "run", "--builtin", "--out", out])
            self.assertEqual(r.returncode, 0, r.stderr.decode())
            written = sorted(os.listdir(out))
        self.assertGreater(len(written), 10)
        for name in written:
            with self.subTest(file=name):
                self.assertIn(name, section)
        count = re.search(r"writes these (\d+) files", section)
        self.assertIsNotNone(count)
        self.assertEqual(int(count.group(1)), len(written))

    def test_status_lines_of_run_as_printed(self):
        with tempfile.TemporaryDirectory() as out:
            r = run([ARGS.cli, "run", "--builtin", "--out", out])
        status = r.stdout.decode()
        self.assertGreater(status.count("\n"), 5)
        self.assertIn(status, plain("\n".join(self.commands["run"])))

    def test_exit_status_of_a_bad_command_line(self):
        m = re.search(r"^\.B (\d+)\\-(\d+)$", section_text(self.roff, "EXIT STATUS"), re.M)
        self.assertIsNotNone(m)
        low, high = int(m.group(1)), int(m.group(2))
        for args in (["check", "--no-such-option", "x"], ["run", "--builtin"], ["no-such-command"]):
            with self.subTest(args=args):
                code = run([ARGS.cli, *args]).returncode
                self.assertTrue(low <= code <= high, code)
        # check keeps 1 for findings: a table it can't read is 2.
        self.assertEqual(run([ARGS.cli, "check", os.path.join(ARGS.pages, "no such file")]).returncode, 2)


class WindowPage(unittest.TestCase):
    def test_every_menu_command_and_tab(self):
        if not ARGS.form:
            self.skipTest("built without the window")
        with open(ARGS.form, encoding="utf-8") as f:
            form = f.read()
        captions = re.findall(r'addItem\("N\w+", QStringLiteral\("([^"]+)"\)', form)
        captions += re.findall(r'addMenu\(QStringLiteral\("([^"]+)"\)\)', form)
        captions += re.findall(r'addTab\(page, QStringLiteral\("([^"]+)"\)\)', form)
        # The source table's tab and the derivations' tabs and panes.
        with open(ARGS.results, encoding="utf-8") as f:
            results = f.read()
        captions += re.findall(r'kSourceCaption = "([^"]+)"', results)
        captions += re.findall(r'\{Derivation::\w+, "([^"]+)"', results)
        self.assertGreater(len(captions), 35, "menu, tab and pane captions not found in " + ARGS.form + " and " +
                           ARGS.results)
        text = rendered("zelmora").stdout.decode()
        for caption in captions:
            with self.subTest(caption=caption):
                self.assertIn(caption, text, "describe the menu command, tab or pane in packaging/zelmora.1.in")


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--pages", required=True, help="folder of the built NAME.1.gz")
    parser.add_argument("--version", required=True)
    parser.add_argument("--form", default="", help="the window's source naming its menu")
    parser.add_argument("--results", default="", help="the list naming the window's tabs and panes")
    ARGS, rest = parser.parse_known_args()
    ARGS.man = require("man", "man-db")
    require("groff", "groff-base")
    unittest.main(argv=[sys.argv[0]] + rest)
