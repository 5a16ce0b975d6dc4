#!/usr/bin/env python3
"""Writes a large table for the streaming benchmark, made from a Rime
dictionary (Debian's rime-data-wubi wubi86.dict.yaml by default): its entries
repeated under code prefixes aa, ab, ac, ... until the table has LINES entry
lines, so that every code is new and the codes stay in ascending order.

    make_stream_table.py FORMAT LINES OUT [DICT]

FORMAT is rime (UTF-8, the dictionary's header with "sort: by_weight", weights
and stems), libime (UTF-8 table text) or plain (GBK group lines, CR LF). Within
a code the dictionary's candidates keep their file order (by weight they are
out of order, as in the dictionary)."""
import collections
import itertools
import sys


def entries(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    header, _, body = text.partition("\n...\n")
    groups = collections.OrderedDict()
    for line in body.split("\n"):
        if not line or line.startswith("#"):
            continue
        cols = line.split("\t")
        if len(cols) < 2 or not cols[1]:
            continue
        groups.setdefault(cols[1], []).append(cols)
    return header + "\n...\n", sorted(groups.items())


def main():
    fmt, lines, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    path = sys.argv[4] if len(sys.argv) > 4 else "/usr/share/rime-data/wubi86.dict.yaml"
    header, groups = entries(path)
    letters = "abcdefghijklmnopqrstuvwxyz"
    written = 0
    enc = "gbk" if fmt == "plain" else "utf-8"
    with open(out, "w", encoding=enc, errors="ignore", newline="") as f:
        if fmt == "rime":
            f.write(header.replace("name: wubi86", "name: wubi86_big") + "\n")
        elif fmt == "libime":
            f.write("KeyCode=abcdefghijklmnopqrstuvwxyz\nLength=6\n[Data]\n")
        first = True
        for a, b in itertools.product(letters, letters):
            if written >= lines:
                break
            prefix = a + b
            for code, cols in groups:
                if written >= lines:
                    break
                full = prefix + code
                if fmt == "rime":
                    for c in cols:
                        c = list(c)
                        c[1] = full
                        f.write("\t".join(c) + "\n")
                elif fmt == "libime":
                    for c in cols:
                        f.write(full + " " + c[0] + "\n")
                else:
                    words = [c[0] for c in cols if " " not in c[0]]
                    if not words:
                        continue
                    f.write(("" if first else "\r\n") + full + " " + " ".join(words))
                    first = False
                written += len(cols)
    print(f"{out}: {written} entries", file=sys.stderr)


if __name__ == "__main__":
    main()
