#!/usr/bin/env python3
"""Writes tests/data/formats/pyyaml_*.dict.yaml: Rime dictionaries whose
headers are PyYAML's yaml.dump of one header in its block style (keys sorted,
sequence items not indented), its flow style, and with non-ASCII escaped as
\\uXXXX. The data lines put the code before the text, as the columns say.

The samples are committed; run this again after changing it.
"""
import os

import yaml

OUT = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), 'data', 'formats')

HEADER = {
    'name': '五笔86',
    'version': '1.0',
    'sort': 'original',
    'use_preset_vocabulary': False,
    'columns': ['code', 'text', 'weight'],
    'encoder': {
        'exclude_patterns': ['^z.*$'],
        'rules': [
            {'length_equal': 2, 'formula': 'AaAbBaBb'},
            {'length_in_range': [4, 10], 'formula': 'AaBaCaZa'},
        ],
    },
}
# With "sort: original" the file's order stands, though the weights rise.
DATA = 'a\t工\t1\na\t戈\t9\naaaa\t工工工工\t5\n'

STYLES = {
    'block': dict(allow_unicode=True),
    'flow': dict(allow_unicode=True, default_flow_style=True),
    'escaped': dict(allow_unicode=False),
}

for name, style in STYLES.items():
    text = yaml.dump(HEADER, explicit_start=True, explicit_end=True, **style)
    with open(os.path.join(OUT, 'pyyaml_%s.dict.yaml' % name), 'w', encoding='utf-8', newline='\n') as f:
        f.write(text + DATA)
