#!/usr/bin/env python3
"""Crafted table shapes that once made zelmora-cli slow or hungry (GBK output).

Usage: crafted.py SHAPE [N] > file

  words-on-line [N=100000]   two lines, each N short-coded words: `relate`/`run`
                             move every word of the four-letter line to its end
  rime-columns [N=100000]    a Rime dictionary naming N columns, N/2 data lines
                             (`check`)
  long-word [N=200000]       twenty lines of one word of N characters
                             (`fullcodes`, `run`)
  huge-line [N=10000000]     one code with N one-character words (`check`,
                             `convert --output-format rime`)
  merge-words                three new words for `encode --merge` into a table
                             from gen_table.py (a code table of five million lines)

The partition sort's crafted order is made by bench/make_killer_table (C++: the
adversary has to run against the quadratic sort once).
"""
import sys


def gb2312_chars():
    chars = []
    for hi in range(0xB0, 0xF8):
        for lo in range(0xA1, 0xFF):
            if hi == 0xD7 and lo > 0xF9:
                continue
            chars.append(bytes([hi, lo]))
    return chars


def two_char_words(n):
    chars = gb2312_chars()
    out = []
    for i in range(n):
        out.append(chars[i % len(chars)] + chars[(i // len(chars)) % len(chars)])
    return out


def words_on_line(n):
    ws = b" ".join(two_char_words(n))
    return b"bb " + ws + b"\r\naaaa " + ws + b"\r\n"


def rime_columns(n):
    head = ["# Rime dictionary", "---", "name: crafted", 'version: "1"', "sort: original", "columns:",
            "  - text", "  - code"]
    head += ["  - c%d" % i for i in range(n)]
    head += ["..."]
    chars = gb2312_chars()
    letters = "abcdefghijklmnopqrstuvwxy"
    body = []
    for i in range(n // 2):
        code = letters[i % 25] + letters[(i // 25) % 25] + letters[(i // 625) % 25]
        body.append(chars[i % len(chars)] + b"\t" + code.encode())
    return "\n".join(head).encode() + b"\n" + b"\n".join(body) + b"\n"


def long_word(n):
    chars = gb2312_chars()
    word = b"".join(chars[i % 7] for i in range(n))
    return b"".join(b"abcd " + word + b"\r\n" for _ in range(20))


def huge_line(n):
    chars = gb2312_chars()
    out = bytearray(b"aaaa")
    block = b"".join(b" " + chars[i % len(chars)] for i in range(len(chars)))
    full, rest = divmod(n, len(chars))
    out += block * full
    out += block[: rest * 3]
    return bytes(out) + b"\r\n"


def merge_words(_):
    # 工人 中国 我们: characters every Wubi table codes.
    return "工人\r\n中国\r\n我们\r\n".encode("gbk")


SHAPES = {
    "words-on-line": (words_on_line, 100000),
    "rime-columns": (rime_columns, 100000),
    "long-word": (long_word, 200000),
    "huge-line": (huge_line, 10000000),
    "merge-words": (merge_words, 0),
}


def main():
    if len(sys.argv) < 2 or sys.argv[1] not in SHAPES:
        sys.exit(__doc__)
    fn, default = SHAPES[sys.argv[1]]
    n = int(sys.argv[2]) if len(sys.argv) > 2 else default
    sys.stdout.buffer.write(fn(n))


if __name__ == "__main__":
    main()
