#!/usr/bin/env python3
"""Every Rime dictionary Debian ships, read by zelmora-cli as librime reads it.

rime_headers.py ZELMORA_CLI

Each /usr/share/rime-data/**/*.dict.yaml is cut to its header, byte for byte
as shipped, and its first data lines (with the dictionaries it imports, cut
the same way); librime compiles that (rime_deployer) and zelmora-cli reads
it. Every text-code pair zelmora-cli reads must be one librime compiled, and
librime must have compiled no single character zelmora-cli did not read:
the phrases it adds from its preset vocabulary or codes with its encoder are
its own. Cut short, no dictionary takes long to compile.
A missing package fails the test with the package's name.
"""
import concurrent.futures
import glob
import os
import shutil
import subprocess
import sys
import tempfile

from engine_roundtrip import SCHEMA, run

ROOT = '/usr/share/rime-data'
DATA_LINES = 30
# A dictionary each package scripts/install-deps installs ships.
PACKAGES = {
    'wubi86': 'rime-data-wubi', 'luna_pinyin': 'rime-data-luna-pinyin', 'terra_pinyin': 'rime-data-terra-pinyin',
    'cangjie5': 'rime-data-cangjie5', 'stroke': 'rime-data-stroke', 'pinyin_simp': 'rime-data-pinyin-simp',
    'quick5': 'rime-data-quick5', 'array30': 'rime-data-array30', 'jyut6ping3': 'rime-data-jyut6ping3',
}


def require():
    missing = []
    if not shutil.which('rime_deployer'):
        missing.append('rime_deployer (package librime-bin)')
    try:
        import yaml  # noqa: F401
    except ImportError:
        missing.append('the yaml module (package python3-yaml)')
    for name, package in sorted(PACKAGES.items()):
        path = os.path.join(ROOT, name + '.dict.yaml')
        if not os.path.exists(path):
            missing.append('%s (package %s)' % (path, package))
    if missing:
        print('FAIL: missing ' + ', '.join(missing) + '; run scripts/install-deps')
        sys.exit(1)


def cut(path):
    """The header as it is and the first data lines (bytes), and the header's settings."""
    import yaml
    with open(path, 'rb') as f:
        lines = f.read().split(b'\n')
    end = next(i for i, l in enumerate(lines) if l.rstrip() == b'...')
    data = [l for l in lines[end + 1:] if l.strip() and not l.startswith(b'#')][:DATA_LINES]
    header = b'\n'.join(lines[:end + 1]) + b'\n'
    return header + b''.join(l + b'\n' for l in data), yaml.safe_load(header.decode('utf-8')) or {}


def zelmora_pairs(cli, path, work):
    """The (text, code) pairs zelmora-cli reads, through an ibus-table source."""
    out = os.path.join(work, 'read.txt')
    run([cli, 'convert', path, out, '--encoding', 'utf-8', '--output-format', 'ibus'])
    lines = open(out, encoding='utf-8').read().splitlines()
    table = lines[lines.index('BEGIN_TABLE') + 1:lines.index('END_TABLE')]
    return {(l.split('\t')[1], l.split('\t')[0]) for l in table}


def check(cli, path):
    """Failures for one shipped dictionary (empty when it reads alike)."""
    work = tempfile.mkdtemp(prefix='zelmora-rime-header-')
    try:
        user = os.path.join(work, 'user')
        os.makedirs(os.path.join(user, 'shared'))
        for essay in glob.glob(os.path.join(ROOT, 'essay*.txt')):
            os.symlink(essay, os.path.join(user, 'shared', os.path.basename(essay)))
        stem = os.path.basename(path)[:-len('.dict.yaml')]
        expected, todo, seen, name = set(), [(stem, path)], set(), None
        while todo:
            table, source = todo.pop()
            if table in seen:
                continue
            seen.add(table)
            small, settings = cut(source)
            # librime finds the dictionary it compiles by the name its header
            # gives, and the tables it imports by their file names.
            if name is None:
                name = str(settings.get('name', stem))
                table = name
            target = os.path.join(user, table + '.dict.yaml')
            with open(target, 'wb') as f:
                f.write(small)
            expected |= zelmora_pairs(cli, target, work)
            for imported in settings.get('import_tables') or []:
                todo.append((imported, os.path.join(ROOT, imported + '.dict.yaml')))
        schema = name.replace('.', '_')
        with open(os.path.join(user, schema + '.schema.yaml'), 'w') as f:
            f.write(SCHEMA % (schema, schema, name))
        r = subprocess.run(['rime_deployer', '--compile', schema + '.schema.yaml', '.', 'shared', 'build'], cwd=user,
                           env=dict(os.environ, GLOG_logtostderr='1'), capture_output=True)
        label = os.path.relpath(path, ROOT)
        if r.returncode != 0:
            # Words without codes alone (jyut6ping3.maps) give librime no
            # syllable to build on: read where another dictionary imports them.
            if not expected:
                print('%s: no code in its first lines, neither for zelmora-cli nor for librime' % label)
                return []
            return ['%s: rime_deployer failed: %s' % (label, r.stderr.decode('utf-8', 'replace')[-1000:])]
        compiled = set()
        for line in open(os.path.join(user, 'build', name + '.table.txt'), encoding='utf-8').read().splitlines():
            if line and not line.startswith('#'):
                fields = line.split('\t')
                compiled.add((fields[0], fields[1]))
        print('%s: zelmora-cli read %d pairs, librime compiled %d' % (label, len(expected), len(compiled)))
        failures = []
        missing = sorted(expected - compiled)
        if missing:
            failures.append('%s: %d pairs librime did not compile, e.g. %s' % (label, len(missing), missing[:3]))
        unread = sorted(p for p in compiled - expected if len(p[0]) == 1)
        if unread:
            failures.append('%s: %d characters zelmora-cli did not read, e.g. %s' % (label, len(unread), unread[:3]))
        return failures
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    cli = os.path.abspath(sys.argv[1])
    require()
    paths = sorted(glob.glob(os.path.join(ROOT, '**', '*.dict.yaml'), recursive=True))
    # Two at a time: most of a compile is librime loading its vocabulary.
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        failures = [f for result in pool.map(lambda p: check(cli, p), paths) for f in result]
    for f in failures:
        print('FAIL: ' + f)
    if failures:
        print('%d failure(s)' % len(failures))
        sys.exit(1)
    print('all %d dictionaries read alike' % len(paths))


if __name__ == '__main__':
    main()
