"""The bash completion of zelmora-cli, loaded into a bash of its own and asked
as bash asks it: commands, each command's options as its --help lists them,
the values of encoding and format options, files and folders."""
import argparse
import os
import re
import shlex
import sys
import tempfile
import unittest

from packaging_util import known_names, options, require, run, subcommands

ARGS = None


def complete(*words, wordbreaks=None, cwd=None):
    """COMPREPLY for the command line `words` (the last one being completed)."""
    script = [f"source {shlex.quote(ARGS.script)}"]
    if wordbreaks is not None:
        script.append(f"COMP_WORDBREAKS={shlex.quote(wordbreaks)}")
    script += [
        "COMP_WORDS=(" + " ".join(shlex.quote(w) for w in words) + ")",
        f"COMP_CWORD={len(words) - 1}",
        "COMP_LINE=" + shlex.quote(" ".join(words)),
        "COMP_POINT=${#COMP_LINE}",
        "_zelmora_cli",
        "printf '%s\\n' \"${COMPREPLY[@]}\"",
    ]
    r = run([ARGS.bash, "--norc", "--noprofile", "-c", "\n".join(script)], cwd=cwd)
    assert r.returncode == 0 and not r.stderr, r.stderr.decode()
    return [w for w in r.stdout.decode().split("\n") if w]


class Loading(unittest.TestCase):
    def test_registers_for_zelmora_cli_without_noise(self):
        r = run([ARGS.bash, "--norc", "--noprofile", "-c",
                 f"source {shlex.quote(ARGS.script)} && complete -p zelmora-cli"])
        self.assertEqual(r.stderr.decode(), "")
        self.assertEqual(r.returncode, 0)
        self.assertRegex(r.stdout.decode(), r"complete -F _zelmora_cli zelmora-cli")


class Commands(unittest.TestCase):
    def test_every_command_and_only_those(self):
        self.assertEqual(sorted(complete("zelmora-cli", "")), sorted(subcommands(ARGS.cli)),
                         "_zelmora_cli_commands in packaging/zelmora-cli.bash lists the commands")

    def test_prefix(self):
        expected = [c for c in subcommands(ARGS.cli) if c.startswith("con")]
        self.assertEqual(expected, ["convert"])
        self.assertEqual(complete("zelmora-cli", "con"), expected)
        self.assertEqual(complete("zelmora-cli", "xyz"), [])

    def test_options_before_a_command(self):
        self.assertEqual(sorted(complete("zelmora-cli", "-")), sorted(["-h", *options(ARGS.cli)]),
                         "_zelmora_cli in packaging/zelmora-cli.bash offers the options zelmora-cli --help lists")


class Options(unittest.TestCase):
    def test_each_command_offers_its_options(self):
        for command in subcommands(ARGS.cli):
            with self.subTest(command=command):
                self.assertEqual(sorted(complete("zelmora-cli", command, "--")),
                                 sorted(options(ARGS.cli, command)),
                                 "_zelmora_cli_options in packaging/zelmora-cli.bash lists each command's options")

    def test_options_given_are_not_offered_again(self):
        offered = complete("zelmora-cli", "check", "--no-stream", "--encoding=gbk", "--")
        self.assertNotIn("--no-stream", offered)
        self.assertNotIn("--encoding", offered)
        self.assertIn("--format", offered)

    def test_after_the_command_and_its_values(self):
        offered = complete("zelmora-cli", "run", "--builtin", "--out", "o", "--o")
        self.assertEqual(sorted(offered), ["--output-encoding", "--output-format"])


class Values(unittest.TestCase):
    """Each encoding and format option offers exactly the values its help names."""

    def expected(self, command, option):
        """The encodings or formats the option's help names (both lists hold "auto")."""
        words = set(re.findall(r"[a-z0-9][a-z0-9-]*", options(ARGS.cli, command)[option]))
        best = []
        for what, flag in (("encoding", "--encoding"), ("format", "--format")):
            named = sorted(words & set(known_names(ARGS.cli, flag, what)))
            if len(named) > len(best):
                best = named
        return best if len(best) > 1 else None

    def test_every_value_option_of_every_command(self):
        checked = 0
        for command in subcommands(ARGS.cli):
            for option in options(ARGS.cli, command):
                expected = self.expected(command, option)
                if expected is None:
                    continue
                checked += 1
                with self.subTest(command=command, option=option):
                    self.assertEqual(sorted(complete("zelmora-cli", command, option, "")), expected,
                                     "_zelmora_cli_value in packaging/zelmora-cli.bash gives the values")
        self.assertGreater(checked, 20)

    def test_output_format_leaves_out_auto(self):
        offered = complete("zelmora-cli", "convert", "--output-format", "")
        self.assertIn("rime", offered)
        self.assertNotIn("auto", offered)

    def test_prefix_of_a_value(self):
        self.assertEqual(complete("zelmora-cli", "convert", "--encoding", "utf-16"), ["utf-16le", "utf-16be"])

    def test_option_and_value_joined_by_equals(self):
        # bash's default word breaks split "--format=ri" into three words.
        self.assertEqual(complete("zelmora-cli", "convert", "--format", "=", "ri"), ["rime"])
        self.assertIn("yong", complete("zelmora-cli", "convert", "--format", "="))
        # Without "=" among them the word stays whole, and so must the answer.
        self.assertEqual(complete("zelmora-cli", "convert", "--format=ri", wordbreaks=" \t\n"),
                         ["--format=rime"])


class Files(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        os.mkdir(os.path.join(self.dir.name, "results"))
        for name in ("table one.txt", "wubi86.dict.yaml"):
            open(os.path.join(self.dir.name, name), "w").close()

    def tearDown(self):
        self.dir.cleanup()

    def test_files_for_tables(self):
        everything = ["results", "table one.txt", "wubi86.dict.yaml"]
        for words in (("check", ""), ("convert", "a.txt", ""), ("run", "--source", ""),
                      ("encode", "--merge", ""), ("encode", "--out", ""), ("stats", ""), ("diff", "a.txt", ""),
                      ("diff", "a", "b", "--text", ""), ("score", ""), ("score", "t", "--against", ""),
                      ("score", "t", "--split", ""), ("check", "--chars", "")):
            with self.subTest(words=words):
                self.assertEqual(sorted(complete("zelmora-cli", *words, cwd=self.dir.name)), everything)
        self.assertEqual(complete("zelmora-cli", "expand", "wu", cwd=self.dir.name), ["wubi86.dict.yaml"])

    def test_named_values_beside_files_or_instead(self):
        files = ["results", "table one.txt", "wubi86.dict.yaml"]
        for words, expected in ((("score", "t", "--freq", ""), ["essay", "jieba", *files]),
                                (("diff", "a", "b", "--freq", "j"), ["jieba"]),
                                (("score", "t", "--chars", ""), ["gb2312", "gb2312-1", "top:"]),
                                (("score", "t", "--page-size", ""), [])):
            with self.subTest(words=words):
                self.assertEqual(sorted(complete("zelmora-cli", *words, cwd=self.dir.name)), expected)

    def test_folders_for_results(self):
        for command in ("run", "group", "dups", "relate"):
            with self.subTest(command=command):
                self.assertEqual(complete("zelmora-cli", command, "--out", "", cwd=self.dir.name), ["results"])

    def test_no_files_where_a_command_takes_none(self):
        offered = complete("zelmora-cli", "builtin", "", cwd=self.dir.name)
        self.assertEqual(sorted(offered), sorted(o for o in options(ARGS.cli, "builtin") if o != "--help"))
        self.assertNotIn("table one.txt", offered)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--script", required=True)
    ARGS, rest = parser.parse_known_args()
    ARGS.bash = require("bash", "bash")
    unittest.main(argv=[sys.argv[0]] + rest)
