#!/usr/bin/env python3
"""Generate a large Wubi-like code table (GBK group lines) for benchmarks.

Usage: gen_table.py ENTRIES [SEED] > table.txt

About ENTRIES code-word pairs: codes of 1-4 letters a-y, one to four words per
code, words of one to four GB 2312 characters that share prefixes the way
phrase tables do (工, 工作, 工作者 ...), a few ASCII words in both cases.
"""
import random
import sys


def gb2312_chars():
    chars = []
    for hi in range(0xB0, 0xF8):
        for lo in range(0xA1, 0xFF):
            if hi == 0xD7 and lo > 0xF9:
                continue
            chars.append(bytes([hi, lo]))
    return chars


def main():
    n = int(sys.argv[1])
    rng = random.Random(int(sys.argv[2]) if len(sys.argv) > 2 else 1)
    chars = gb2312_chars()
    letters = "abcdefghijklmnopqrstuvwxy"
    heads = [rng.choice(chars) for _ in range(4000)]
    words = []
    for _ in range(n):
        r = rng.random()
        if r < 0.02:
            w = "".join(rng.choice("abcXYZ") for _ in range(rng.randint(2, 5))).encode()
        else:
            length = rng.choices([1, 2, 3, 4], [10, 55, 20, 15])[0]
            w = rng.choice(heads) + b"".join(rng.choice(chars) for _ in range(length - 1))
        words.append(w)
    out = bytearray()
    emitted = 0
    lines = []
    while emitted < n:
        clen = rng.choices([1, 2, 3, 4], [1, 8, 30, 61])[0]
        code = "".join(rng.choice(letters) for _ in range(clen)).encode()
        k = min(rng.choices([1, 2, 3, 4], [70, 20, 7, 3])[0], n - emitted)
        ws = [words[(emitted + i) % len(words)] for i in range(k)]
        # Shorter codes reuse words of longer ones, as short codes do.
        if rng.random() < 0.3:
            ws[0] = words[rng.randrange(len(words))]
        lines.append(code + b" " + b" ".join(ws))
        emitted += k
    sys.stdout.buffer.write(b"\r\n".join(lines))


if __name__ == "__main__":
    main()
