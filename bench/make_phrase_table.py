#!/usr/bin/env python3
"""Writes a Wubi-86 table of single characters and phrases in GBK for timing
check, stats and diff: the built-in table's characters, then phrases of two
to six of them coded by the Wubi-86 rules (worked out here, apart from
Zelmora's own code), a share of them with a wrong code planted. With --changed
it also writes a second version with some entries added, removed, moved to
another code and candidates reordered, for diff.

    make_phrase_table.py BUILTIN.txt ENTRIES OUT [--wrong SHARE] [--changed OUT2] [--seed N]

BUILTIN.txt: `zelmora-cli builtin` (GBK group lines)."""
import argparse
import random


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("builtin")
    ap.add_argument("entries", type=int)
    ap.add_argument("out")
    ap.add_argument("--wrong", type=float, default=0.01)
    ap.add_argument("--changed")
    ap.add_argument("--seed", type=int, default=1)
    a = ap.parse_args()
    rng = random.Random(a.seed)

    full = {}  # character -> its longest code
    singles = []
    with open(a.builtin, "rb") as f:
        for line in f.read().split(b"\r\n"):
            parts = line.split()
            if len(parts) < 2:
                continue
            code = parts[0].decode()
            for w in parts[1:]:
                singles.append((code, w))
                if len(code) > len(full.get(w, "")):
                    full[w] = code
    chars = sorted(full)

    def rule(word):
        cs = [word[i:i + 2] for i in range(0, len(word), 2)]
        c = [full[x] for x in cs]
        if len(cs) == 2:
            return c[0][:2] + c[1][:2]
        if len(cs) == 3:
            return c[0][:1] + c[1][:1] + c[2][:2]
        return c[0][:1] + c[1][:1] + c[2][:1] + c[-1][:1]

    entries = list(singles)
    seen = set(w for _, w in entries)
    while len(entries) < a.entries:
        word = b"".join(rng.choice(chars) for _ in range(rng.choice((2, 2, 2, 3, 4, 4, 5, 6))))
        if word in seen:
            continue
        seen.add(word)
        code = rule(word)
        if rng.random() < a.wrong:
            code = code[:-1] + rng.choice("abcdefghijklmnopqrstuvwxy")
        entries.append((code, word))

    def write(path, pairs):
        groups = {}
        for code, word in pairs:
            groups.setdefault(code, []).append(word)
        with open(path, "wb") as f:
            f.write(b"\r\n".join(code.encode() + b" " + b" ".join(ws) for code, ws in sorted(groups.items())))

    write(a.out, entries)
    if a.changed:
        changed = list(entries)
        n = len(changed) // 200  # half a percent of each kind
        for _ in range(n):
            del changed[rng.randrange(len(changed))]
        for _ in range(n):
            i = rng.randrange(len(changed))
            code, word = changed[i]
            changed[i] = (code[:-1] + rng.choice("abcdefghijklmnopqrstuvwxy"), word)
        for _ in range(n):
            changed.append(("zz" + rng.choice("abcde"), rng.choice(chars) * 3))
        for _ in range(n):  # swap two neighbours: a code's candidates may change order
            i = rng.randrange(len(changed) - 1)
            changed[i], changed[i + 1] = changed[i + 1], changed[i]
        write(a.changed, changed)


if __name__ == "__main__":
    main()
