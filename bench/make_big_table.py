#!/usr/bin/env python3
"""Writes a synthetic Wubi-style source table in GBK: group lines sorted by
code ("code word word ..."), CR LF breaks, no break after the last line.

    make_big_table.py [--entry-lines] ENTRIES OUT [SEED]

With --entry-lines every entry stands on a line of its own ("code word", codes
repeated on consecutive lines), so the table has ENTRIES lines.

Words come from a shared vocabulary, so one word has codes of several lengths,
as in real tables, and the short-code/full-code derivations have work to do."""
import random
import sys


def main():
    args = sys.argv[1:]
    entry_lines = "--entry-lines" in args
    args = [a for a in args if a != "--entry-lines"]
    entries = int(args[0])
    out = args[1]
    rng = random.Random(int(args[2]) if len(args) > 2 else 6763)
    letters = "abcdefghijklmnopqrstuvwxy"
    # GB 2312 level-1 characters: rows 0xB0..0xD7, cells 0xA1..0xFE.
    chars = []
    for hi in range(0xB0, 0xD8):
        for lo in range(0xA1, 0xFF):
            if hi == 0xD7 and lo > 0xF9:
                break
            chars.append(bytes((hi, lo)))
    vocabulary = []
    for _ in range(max(1, entries // 3)):
        n = rng.choices((1, 2, 3, 4), weights=(50, 35, 10, 5))[0]
        vocabulary.append(b"".join(rng.choice(chars) for _ in range(n)))
    groups = {}
    for _ in range(entries):
        n = rng.choices((1, 2, 3, 4), weights=(1, 40, 300, 700))[0]
        code = "".join(rng.choice(letters) for _ in range(n)).encode("ascii")
        groups.setdefault(code, []).append(rng.choice(vocabulary))
    if entry_lines:
        lines = [code + b" " + w for code, words in sorted(groups.items()) for w in words]
    else:
        lines = [code + b" " + b" ".join(words) for code, words in sorted(groups.items())]
    with open(out, "wb") as f:
        f.write(b"\r\n".join(lines))
    print(f"{out}: {entries} entries in {len(lines)} lines", file=sys.stderr)


if __name__ == "__main__":
    main()
