#!/usr/bin/env python3
"""Reads a Windows user-defined-phrase file (magic "mschxudp") field by field
and checks every field against the published layout, with nothing of
Zelmora's own reader: the tests hold what Zelmora writes to this.

Usage: ms_phrase_reader.py FILE
Prints the header's version ("1607" or "1703") on the first line, then one
line per phrase in file order: code, position, word (tab-separated). Exits 1
naming the first field that breaks the layout.

The layout, as the public descriptions give it (all little-endian):
  0x00 "mschxudp"
  1703 on: 0x08 0x00600002, 0x0C version 1, 0x10 offset-table start (0x40),
           0x14 phrases' start, 0x18 phrases' end (the file's length),
           0x1C phrase count, 0x20 export time; zeros to 0x40
  1607:    0x08 version 1, 0x0C table start, 0x10 start, 0x14 end,
           0x18 count, 0x1C 0, 0x20 time; zeros to 0x40
  table: count u32 offsets from the phrases' start; the first 0, each the
         previous plus the previous phrase's length
  phrase: u32 magic (1703: 0x00100010, 1607: 0x00080008), u16 offset of the
          word (header length + the code's UTF-16 bytes with their NUL), u8
          candidate position, u8 6; 1703 only: 8 more bytes (u32 0, u32
          time); the code and the word, UTF-16LE, each ended by a NUL unit.
  Codes are 1-32 letters a-z, words 1-64 UTF-16 units; a code's phrases
  stand together, in position order.
"""
import struct
import sys


def fail(msg):
    sys.stderr.write('ms_phrase_reader: ' + msg + '\n')
    sys.exit(1)


def u32(b, at):
    return struct.unpack_from('<I', b, at)[0]


def string_at(b, start, end, what):
    raw = b[start:end]
    if len(raw) % 2 or len(raw) < 4:
        fail('%s at 0x%x: %d bytes' % (what, start, len(raw)))
    if raw[-2:] != b'\0\0':
        fail('%s at 0x%x: no NUL at its end' % (what, start))
    units = [raw[i:i + 2] for i in range(0, len(raw) - 2, 2)]
    if b'\0\0' in units:
        fail('%s at 0x%x: a NUL inside' % (what, start))
    return raw[:-2].decode('utf-16-le')


def main():
    b = open(sys.argv[1], 'rb').read()
    if b[:8] != b'mschxudp':
        fail('magic %r' % b[:8])
    if u32(b, 0x08) == 0x00600002 and u32(b, 0x0C) == 1:
        version, fields, head, magic = '1703', 0x10, 16, 0x00100010
    elif u32(b, 0x08) == 1:
        version, fields, head, magic = '1607', 0x0C, 8, 0x00080008
        if u32(b, 0x1C) != 0:
            fail('1607 header: 0x1C is %#x, not 0' % u32(b, 0x1C))
    else:
        fail('version fields %#x %#x' % (u32(b, 0x08), u32(b, 0x0C)))
    table, start, end, count = struct.unpack_from('<4I', b, fields)
    if table != 0x40:
        fail('table at %#x, not 0x40' % table)
    if any(b[0x24:0x40]):
        fail('bytes 0x24-0x3f are not all zero')
    if start != table + 4 * count:
        fail('start %#x, not table + 4 * count (%#x)' % (start, table + 4 * count))
    if end != len(b):
        fail('end %#x, not the file length %#x' % (end, len(b)))
    offsets = list(struct.unpack_from('<%dI' % count, b, table))
    phrases = []
    expected = 0
    for i, off in enumerate(offsets):
        if off != expected:
            fail('phrase %d at offset %#x, the previous phrase ends at %#x' % (i, off, expected))
        at = start + off
        stop = start + offsets[i + 1] if i + 1 < count else end
        pmagic, word_off, pos, kind = struct.unpack_from('<IHBB', b, at)
        if pmagic != magic:
            fail('phrase %d: magic %#x, not %#x' % (i, pmagic, magic))
        if kind != 6:
            fail('phrase %d: the byte after the position is %d, not 6' % (i, kind))
        if head == 16 and u32(b, at + 8) != 0:
            fail('phrase %d: bytes 8-11 are not zero' % i)
        code = string_at(b, at + head, at + word_off, 'code of phrase %d' % i)
        if word_off != head + 2 * len(code) + 2:
            fail('phrase %d: word offset %d, not %d' % (i, word_off, head + 2 * len(code) + 2))
        word = string_at(b, at + word_off, stop, 'word of phrase %d' % i)
        if not (1 <= len(code) <= 32 and all('a' <= c <= 'z' for c in code)):
            fail('phrase %d: code %r' % (i, code))
        if len(word.encode('utf-16-le')) > 128:
            fail('phrase %d: word of more than 64 units' % i)
        if pos < 1:
            fail('phrase %d: position 0' % i)
        phrases.append((code, pos, word))
        expected = off + (stop - at)
    if start + expected != end:
        fail('the last phrase ends at %#x, not at the end %#x' % (start + expected, end))
    done = set()
    for i in range(1, len(phrases)):
        (code, pos), (last, last_pos) = phrases[i][:2], phrases[i - 1][:2]
        if code != last:
            done.add(last)
        if code == last and pos <= last_pos or code in done:
            fail('phrase %d: its code\'s phrases do not stand together in position order' % i)
    out = [version] + ['%s\t%d\t%s' % p for p in phrases]
    sys.stdout.buffer.write(('\n'.join(out) + '\n').encode('utf-8'))


main()
