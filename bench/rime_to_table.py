#!/usr/bin/env python3
"""Turn a Rime dictionary (e.g. Debian's rime-data-wubi wubi86.dict.yaml) into
a GBK code table of group lines, for benchmarks on a real phrase table.

Usage: rime_to_table.py DICT.yaml > table.txt

Candidates of a code keep the dictionary's order (by weight when its header
says sort: by_weight). Words that GBK can't hold are left out.
"""
import collections
import sys


def main():
    path = sys.argv[1]
    with open(path, encoding="utf-8") as f:
        text = f.read()
    header, _, body = text.partition("\n...\n")
    by_weight = "sort: by_weight" in header
    groups = collections.OrderedDict()
    order = 0
    for line in body.splitlines():
        if not line or line.startswith("#"):
            continue
        cols = line.split("\t")
        if len(cols) < 2 or not cols[1]:
            continue
        word, code = cols[0], cols[1]
        try:
            weight = float(cols[2]) if len(cols) > 2 and cols[2] else 0.0
        except ValueError:
            weight = 0.0
        try:
            wb = word.encode("gbk")
        except UnicodeEncodeError:
            continue
        groups.setdefault(code, []).append((-weight if by_weight else 0, order, wb))
        order += 1
    out = []
    for code, words in groups.items():
        words.sort()
        out.append(code.encode("ascii") + b" " + b" ".join(w for _, _, w in words))
    sys.stdout.buffer.write(b"\r\n".join(out))


if __name__ == "__main__":
    main()
