#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/.

The seeds are committed; run this again after changing it. They are the
sample tables of tests/data/formats (also re-encoded in every encoding, with
and without a byte-order mark), the first lines of the built-in table,
and small versions of the inputs that once found faults: a NUL byte inside a
line, GBK text that is also valid UTF-8, a Rime header with a long columns
list, thousands of words on one line, a long word repeated. Each seed stays
under 64 KB (the fuzz runs' -max_len).

The seeds of ms_phrase (Windows phrase files, binary) are written by our own
writer instead: make_ms_phrase_seeds, built in a fuzz build.
"""
import os

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
data = os.path.join(root, 'tests/data/formats')
out = os.path.join(root, 'fuzz/corpus')
samples = {f: open(os.path.join(data, f), 'rb').read() for f in sorted(os.listdir(data))}
builtin = open(os.path.join(root, 'resources/data/wb86gb.txt'), 'rb').read()
builtin_head = b''.join(builtin.splitlines(True)[:120])
RS = b'\x1e'
def gbk(s): return s.encode('gbk')
def u16le(s): return b'\xff\xfe' + s.encode('utf-16-le')
def u16be(s): return s.encode('utf-16-be')

# Files of every kind a reader meets, the inputs that found faults among them.
tables = {}
for f, b in samples.items():
    # The PyYAML samples came later: seeds of their own below, so that the
    # seeds before them keep their numbers.
    if not f.startswith('pyyaml_'):
        tables[f] = b
tables['builtin_head_gbk'] = builtin_head
tables['builtin_head_utf8'] = builtin_head.decode('gbk').encode('utf-8')
tables['builtin_head_utf16le_bom'] = u16le(builtin_head.decode('gbk'))
tables['rime_utf16be'] = u16be(samples['rime_wubi.dict.yaml'].decode('utf-8'))
tables['rime_gb18030_bom'] = b'\x84\x31\x95\x33' + samples['rime_wubi.dict.yaml'].decode('utf-8').encode('gb18030')
tables['ibus_utf8_bom_crlf'] = b'\xef\xbb\xbf' + samples['ibus_wubi.txt'].replace(b'\n', b'\r\n')
# GBK bytes that are valid UTF-8: "ggpx 一些" (d2bb d0a9).
tables['gbk_valid_utf8'] = b'ggpx ' + gbk('一些') + b'\r\n'
tables['gbk_valid_utf8_words'] = b'gg ' + gbk('一') + b'\r\nhx ' + gbk('些') + b'\r\nggpx ' + gbk('一些') + b'\r\n'
# A NUL byte in the middle of a line, lines after it.
tables['nul_mid_line'] = b'a ' + gbk('工') + b'\r\naa ' + gbk('式') + b'\x00x\r\nab ' + gbk('节') + b'\r\nb ' + gbk('子') + b'\r\n'
tables['nul_utf16'] = u16le('a 工\r\nb 子\x00\r\nc 又\r\n')
# A Rime header whose columns list is long.
tables['rime_long_columns'] = ('---\nname: x\nsort: by_weight\ncolumns:\n' + ''.join('  - c%d\n' % i for i in range(400)) +
                                '  - text\n  - code\n  - weight\n...\n工\ta\t1\n戈\ta\t2\n').encode('utf-8')
tables['rime_flow_columns'] = b'---\ncolumns: [code, text, weight, stem, ' + b', '.join(b'x%d' % i for i in range(200)) + b']\n...\na\t\xe5\xb7\xa5\t3\n'
# Many words on one line.
words = [ch for ch in builtin.decode('gbk').split() if not ch.isascii()]
tables['many_words_one_line'] = b'a ' + b' '.join(gbk(w) for w in words[:3000]) + b'\r\na ' + gbk('工') + b'\r\n'
# A long word repeated: the full-code index's long prefixes.
tables['long_word_repeated'] = b''.join(b'aaaa ' + gbk('工') * 300 + b'\r\n' for _ in range(20)) + b'aaa ' + gbk('工') * 300 + b'\r\n'
# Quotes, commas, odd breaks, lone lead bytes.
tables['quotes_commas'] = gbk('abdd 工,中\r\nab "工 戈" x\r\nac ""\r\nad "a""b"\r\nae "open\r\naf 工,,戈, \r\n')
tables['odd_breaks'] = b'a x\r\n\nb \x81\x30\rc\n\rd \x81\x20y\r\ne \xff z\r\nf \x81'
tables['libime_prompts'] = 'KeyCode=abc\nLength=4\nPinyin=@\nPrompt=&\n[Data]\na 工\n@a 工\nab "x y"\nab\n&c 一\n[Phrase]\n工戈\n'.encode('utf-8')
tables['yong_several'] = 'encode=UTF-8\nname=x\n[DATA]\na 工 戈\na 其\n# c\nb 一\n\nc\n'.encode('utf-8')
tables['rime_out_of_order'] = '---\nname: x\nsort: by_weight\n...\n戈\tb\t5\n工\ta\t3\n其\tb\t9\n'.encode('utf-8')
tables['utf16_lone_surrogate'] = b'\xff\xfe' + 'a 工\r\nb '.encode('utf-16-le') + b'\x00\xdc\x41\x00'
tables['bom_mid'] = b'\xef\xbb\xbfa \xe5\xb7\xa5\n\xef\xbb\xbfb \xe6\x88\x88\n'
tables['gb18030_four_byte'] = 'a 工\r\nb 𠀀\r\nc 戈\r\n'.encode('gb18030')

# Entries that the target format would read as comments or that reorder: as
# read_table seeds they are written into yong, fcitx4 and ibus (the second
# byte chooses the format written into).
special_targets = {
    'hash_codes_into_yong': (17, b'# w\n#a x\na#b y\n'),
    'semicolon_code_into_fcitx4': (15, b';a m\nb n\n'),
    'code_lines_apart_into_ibus': (16, b'[ s\nb a\n[ - s\n'),
    # A first code beginning with U+FEFF after the mark, written into plain
    # UTF-8, where it would read back as the mark.
    'bom_char_first_code_into_plain': (12, b'\xef\xbb\xbf\xef\xbb\xbfa \xe5\xb7\xa5\nb \xe6\x88\x88\n'),
    # A Rime encoder without rules: yaml-cpp threw when asked the type of the missing key.
    'rime_encoder_without_rules': (1, b'---\ncolumns:\n- code\n- text\nencoder:\n  exclude_patterns:\n  - ^z.*$\n  r\xfdkes:\n  - formula: AaAbBaBb\n    length_equal: 2\n...\na\t\xe5\xb7\xa5\n'),
}

def write(target, name, content):
    assert len(content) < 65536, (target, name, len(content))
    d = os.path.join(out, target)
    os.makedirs(d, exist_ok=True)
    open(os.path.join(d, name), 'wb').write(content)

for i, (name, t) in enumerate(sorted(tables.items())):
    # read_table: forced encoding/format, output format/encoding, the file.
    write('read_table', name, bytes([i * 7 % 42, i % 30]) + t)
    # stream: read choice, write choice, block, piece, the file.
    write('stream', name, bytes([i * 5 % 42, i * 11 % 84, i * 3 % 100, i % 7]) + t)

for name, (choice, t) in special_targets.items():
    write('read_table', name, bytes([0, choice]) + t)
# Windows phrase files (binary), as our writer wrote them: recognised by
# their magic, then written into the others.
ms_phrase = os.path.join(out, 'ms_phrase')
for k, f in enumerate(sorted(os.listdir(ms_phrase))):
    write('read_table', 'ms_phrase_' + f, bytes([0, k % 30]) + open(os.path.join(ms_phrase, f), 'rb').read())
for k, (f, b) in enumerate(sorted(f for f in samples.items() if f[0].startswith('pyyaml_'))):
    write('read_table', f.split('.')[0], bytes([k * 7 % 42, k % 30]) + b)
    write('stream', f.split('.')[0], bytes([k * 5 % 42, k * 11 % 84, k * 3 % 100, k % 7]) + b)

# Every sample in every encoding, with and without a byte-order mark, read
# with detection: recognised as its own entries or refused, never as others.
encodings = [('utf8', 'utf-8', b'\xef\xbb\xbf'), ('gbk', 'gbk', None), ('gb18030', 'gb18030', b'\x84\x31\x95\x33'),
             ('utf16le', 'utf-16-le', b'\xff\xfe'), ('utf16be', 'utf-16-be', b'\xfe\xff')]
for k, (f, b) in enumerate(sorted(samples.items())):
    text = b.decode('gbk') if f == 'plain_wubi_gbk.txt' else b.decode('utf-8')
    for j, (ename, codec, bom) in enumerate(encodings):
        try:
            encoded = text.encode(codec)
        except UnicodeEncodeError:
            continue
        for mark in ([b''] + ([bom] if bom else [])):
            write('read_table', 'reencoded_%s_%s%s' % (f.split('.')[0], ename, '_bom' if mark else ''),
                  bytes([0, (k * 5 + j) % 30]) + mark + encoded)

# Derivations and encode/merge take group-line tables (GBK) and word lists.
plain = {k: v for k, v in tables.items() if not k.startswith(('rime', 'ibus', 'libime', 'fcitx4', 'yong', 'utf16', 'bom', 'nul_utf16')) and 'utf8' not in k and 'utf16' not in k}
plain['builtin_head_gbk'] = builtin_head
for name, t in sorted(plain.items()):
    write('derive', name, t)
write('derive', 'builtin_with_pasted', builtin_head + RS + gbk('工作\r\naaaa 工\r\naa 式\r\n\r\nab 节 芭\r\n'))
write('derive', 'many_words_pasted', gbk('a 工\r\nb 子\r\n') + RS + tables['many_words_one_line'])
write('derive', 'nul_source', tables['nul_mid_line'] + RS + b'aa x\r\n')
# A small McIlroy-style order: many equal keys and short runs.
write('derive', 'sort_equal_keys', b''.join(b'a ' + gbk('工') + b'\r\na ' + gbk('式') + b'\r\n' for _ in range(200)))

word_list = gbk('工作\r\n工人\t100\r\n式子\r\n节节\r\n一些\r\n恭恭敬敬\r\n中华人民共和国\r\n  戈  \t 5 \r\n\r\n芽节')
write('encode', 'builtin_and_words', builtin_head + RS + word_list)
write('encode', 'builtin_alone', builtin_head)
write('encode', 'nul_in_merge_target', tables['nul_mid_line'] + RS + gbk('工节\r\n节\r\n'))
write('encode', 'nul_in_word_list', builtin_head + RS + gbk('工节\r\n节') + b'\x00' + gbk('式\r\n工工\r\n'))
write('encode', 'gbk_valid_utf8', tables['gbk_valid_utf8_words'] + RS + gbk('一些\r\n一\r\n'))
write('encode', 'many_words_one_line', tables['many_words_one_line'] + RS + gbk('工工\r\n'))
write('encode', 'quotes_commas', tables['quotes_commas'] + b'a ' + gbk('工') + b'\r\n' + RS + gbk('工,工\r\n"工"\r\n工 工\r\n'))
write('encode', 'unordered_codes', gbk('b 子\r\na 工\r\nab 节\r\n') + RS + gbk('子工\r\n节子\r\n'))
write('encode', 'no_last_break', gbk('a 工\r\nb 子') + RS + gbk('工子\r\n子子'))
# A code holding a Chinese character: phrase codes take whole characters as keys.
write('encode', 'han_in_code', gbk('a中 节\r\n') + RS + gbk('节节\r\n节节节\r\n'))
# Lines nothing can follow: an unclosed quote, a lead byte at the very end.
write('encode', 'unclosed_quote', gbk('a 工\r\nb 子\r\nab "戈 节  ') + RS + gbk('工子\r\n'))
write('encode', 'lone_lead_byte', gbk('a 工\r\nb 子\r\nab 戈') + b'\x81' + RS + gbk('工子\r\n'))
# A code whose lead byte is followed by a quote: the quote is part of the character.
write('encode', 'quote_after_lead_byte', b'\x97"x ' + gbk('工') + b'\r\n' + RS + gbk('工工\r\n'))
write('encode', 'long_word', tables['long_word_repeated'] + RS + gbk('工') * 200)
