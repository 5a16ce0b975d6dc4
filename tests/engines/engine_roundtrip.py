#!/usr/bin/env python3
"""Tables written by zelmora-cli, proved by the input engines themselves.

engine_roundtrip.py ENGINE ZELMORA_CLI [RIME_QUERY]

For ENGINE (rime, libime, fcitx4 or ibus):
  1. the built-in table and Debian's Rime wubi86 table are converted with the
     default options, compiled by the engine's own compiler and dumped back
     with the engine's own tool; the code-word pairs and each code's candidate
     order must be the input's (codes whose equal-weight candidates the engine
     orders its own way are counted apart);
  2. the engine's shipped Wubi table (dumped by its tool where it is binary)
     is read by zelmora-cli with auto-detection: the entry count must be the
     engine's, and for ibus the candidate order too;
  3. where a query is cheap (librime's C API, ibus-table's Python module), what
     the engine offers for a sample of codes must be the input's order.
  4. `zelmora-cli reorder` on a table worked by hand (ties, absent words, a
     pinned line) and on Debian's wubi86 table with jieba's list, in the
     engine's format: the engine's compiler must show the order proposed.
A missing engine package fails the test with the package's name.
"""
import collections
import os
import random
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time

RIME_DICT = '/usr/share/rime-data/wubi86.dict.yaml'
TOOLS = {
    'rime': [('rime_deployer', 'librime-bin'), (RIME_DICT, 'rime-data-wubi')],
    'libime': [('libime_tabledict', 'libime-bin'), ('/usr/share/libime/wbx.main.dict', 'libime-data')],
    'fcitx4': [('txt2mb', 'fcitx-tools'), ('mb2txt', 'fcitx-tools'), ('/usr/share/fcitx/table/wbx.mb', 'fcitx-table-wubi'),
               (RIME_DICT, 'rime-data-wubi')],
    'ibus': [('ibus-table-createdb', 'ibus-table'), ('/usr/share/ibus-table/tables/wubi-jidian86.db', 'ibus-table-wubi'),
             ('/usr/share/ibus-table/engine/tabsqlitedb.py', 'ibus-table'), (RIME_DICT, 'rime-data-wubi')],
}

failures = []


def fail(message):
    failures.append(message)
    print('FAIL: ' + message)


def run(args, **kw):
    r = subprocess.run(args, capture_output=True, **kw)
    if r.returncode != 0:
        raise SystemExit('%s failed (status %d): %s' % (args[0], r.returncode, r.stderr.decode('utf-8', 'replace')[-2000:]))
    return r


def require(engine, rime_query):
    missing = []
    for tool, package in TOOLS[engine]:
        found = os.path.exists(tool) if tool.startswith('/') else shutil.which(tool)
        if not found:
            missing.append('%s (package %s)' % (tool, package))
    if engine == 'rime' and (not rime_query or not os.path.exists(rime_query)):
        missing.append('rime_query (package librime-dev, needed to build it)')
    if missing:
        print('FAIL: missing ' + ', '.join(missing) + '; run scripts/install-deps')
        sys.exit(1)


# ---- The input tables as the engines should show them ----

def plain_groups(path):
    """A plain GBK table: codes in first-appearance order, words in file order."""
    groups = collections.OrderedDict()
    with open(path, 'rb') as f:
        for raw in f.read().decode('gbk').splitlines():
            tokens = raw.split()
            if len(tokens) >= 2:
                groups.setdefault(tokens[0], []).extend((w, None) for w in tokens[1:])
    return groups


def rime_groups(path):
    """A Rime dictionary with "sort: by_weight": weight descending, ties in file order."""
    groups = collections.OrderedDict()
    data = False
    columns = ['text', 'code', 'weight']
    with open(path, encoding='utf-8') as f:
        lines = f.read().splitlines()
    header = []
    for line in lines:
        if not data:
            if line.rstrip() == '...':
                data = True
            header.append(line)
            continue
        if not line.strip() or line.startswith('#'):
            continue
        fields = line.split('\t')
        text, code = fields[0], fields[1] if len(fields) > 1 else ''
        if not code:
            continue
        weight = float(fields[2]) if len(fields) > 2 and fields[2] else 0.0
        groups.setdefault(code, []).append((text, weight))
    assert any(h.startswith('sort: by_weight') for h in header)
    for code in groups:
        groups[code] = sorted(groups[code], key=lambda tw: -tw[1])  # stable: ties in file order
    return groups


def pairs_count(groups):
    return sum(len(v) for v in groups.values())


def compare(label, expected, got, weights_tie=None):
    """expected, got: code -> [word, ...] in candidate order. Counts codes whose
    order differs, apart from those that differ only among equal weights."""
    exp_pairs = collections.Counter((c, w) for c, ws in expected.items() for w in ws)
    got_pairs = collections.Counter((c, w) for c, ws in got.items() for w in ws)
    missing = exp_pairs - got_pairs
    extra = got_pairs - exp_pairs
    differ = ties = 0
    examples = []
    for code, words in expected.items():
        g = got.get(code, [])
        if g == words:
            continue
        if sorted(g) == sorted(words) and weights_tie and weights_tie(code, g):
            ties += 1
            continue
        differ += 1
        if len(examples) < 3:
            examples.append('%s: expected %s, got %s' % (code, ' '.join(words[:6]), ' '.join(g[:6])))
    print('%s: entries in %d, dumped back %d, missing %d, extra %d, codes %d, order differs %d (+%d equal-weight ties)' %
          (label, sum(exp_pairs.values()), sum(got_pairs.values()), sum(missing.values()), sum(extra.values()),
           len(expected), differ, ties))
    if missing or extra:
        fail('%s: pairs differ: missing %s, extra %s' % (label, list(missing)[:3], list(extra)[:3]))
    if differ:
        fail('%s: candidate order differs for %d codes, e.g. %s' % (label, differ, '; '.join(examples)))
    return differ


def words_only(groups):
    return collections.OrderedDict((c, [w for w, _ in v]) for c, v in groups.items())


def tie_checker(groups):
    """Whether the engine's order for a code keeps the weights descending.
    None for a table without weights: there, file order is the only order."""
    weight = {(c, w): wt for c, v in groups.items() for w, wt in v}
    if all(wt is None for wt in weight.values()):
        return None

    def check(code, got):
        ws = [weight.get((code, w)) or 0.0 for w in got]
        return all(a >= b for a, b in zip(ws, ws[1:]))
    return check


def read_lines_after(text, marker):
    lines = text.splitlines()
    return lines[lines.index(marker) + 1:]


def fcitx_data(text):
    groups = collections.OrderedDict()
    for line in read_lines_after(text, '[Data]'):
        if not line.strip() or line[0] in '@&^':
            continue
        code, _, word = line.strip().partition(' ')
        groups.setdefault(code, []).append(word.strip())
    return groups


def convert(cli, source, out, fmt, extra=()):
    t = time.time()
    r = run([cli, 'convert', source, out, '--output-format', fmt] + list(extra))
    err = r.stderr.decode('utf-8', 'replace')
    if err.strip():
        print('  zelmora-cli said: ' + err.strip())
    return time.time() - t


# ---- Per engine: compile, dump back, query ----

SCHEMA = '''schema:
  schema_id: %s
  name: %s
  version: "1"
engine:
  processors: [speller, selector, express_editor]
  segmentors: [abc_segmentor, fallback_segmentor]
  translators: [table_translator]
speller:
  alphabet: zyxwvutsrqponmlkjihgfedcba
translator:
  dictionary: %s
  enable_completion: false
  enable_user_dict: false
  enable_sentence: false
  enable_encoder: false
'''


def rime_dump(work, name, dict_path, rime_query, sample):
    user = tempfile.mkdtemp(prefix='rime-', dir=work)
    os.makedirs(os.path.join(user, 'shared'))
    shutil.copy(dict_path, os.path.join(user, name + '.dict.yaml'))
    with open(os.path.join(user, name + '.schema.yaml'), 'w') as f:
        f.write(SCHEMA % (name, name, name))
    env = dict(os.environ, GLOG_logtostderr='1')
    r = run(['rime_deployer', '--compile', name + '.schema.yaml', '.', 'shared', 'build'], cwd=user, env=env)
    log = r.stderr.decode('utf-8', 'replace')
    for bad in ('duplicate word definition', 'Encode failure', 'Error parsing'):
        if bad in log:
            fail('rime_deployer %s: "%s" in its log' % (name, bad))
    table = open(os.path.join(user, 'build', name + '.table.txt'), encoding='utf-8').read()
    compiled = sum(1 for l in table.splitlines() if l and not l.startswith('#'))
    codes = sample
    r = subprocess.run([rime_query, user, os.path.join(user, 'shared'), name], input='\n'.join(codes).encode(),
                       capture_output=True, env=dict(os.environ, RIME_QUERY_LOG_DIR=work))
    if r.returncode != 0:
        raise SystemExit('rime_query failed: ' + r.stderr.decode('utf-8', 'replace'))
    got = collections.OrderedDict((c, []) for c in codes)
    for line in r.stdout.decode('utf-8').splitlines():
        code, index, text, _ = line.split('\t')
        if index != '-':
            got[code].append(text)
    return compiled, got


def ibus_order(db):
    """Each code's candidates as ibus-table's engine orders them (no user
    history, no variant filter): frequency descending, then the code point of
    the phrase's first character, then input order."""
    c = sqlite3.connect('file:%s?mode=ro' % db, uri=True)
    groups = collections.OrderedDict()
    q = '''SELECT tabkeys, phrase, max(freq) AS f FROM phrases GROUP BY tabkeys, phrase
           ORDER BY tabkeys, f DESC, unicode(phrase), min(id)'''
    for k, p, f in c.execute(q):
        groups.setdefault(k, []).append((p, f))
    attrs = dict(c.execute('SELECT attr, val FROM ime'))
    c.close()
    return groups, attrs


def ibus_engine_query(work, db, codes):
    """What ibus-table's own module offers for each code."""
    prog = '''import sys
sys.path.insert(0, '/usr/share/ibus-table/engine')
import tabsqlitedb
db = tabsqlitedb.TabSqliteDb(filename=sys.argv[1], user_db=':memory:')
for code in sys.stdin.read().split():
    rows = [r for r in db.select_words(tabkeys=code, chinese_mode=4, auto_wildcard=False) if r[0] == code]
    print(code + '\\t' + '\\t'.join(r[1] for r in rows))
'''
    env = dict(os.environ, HOME=work, XDG_DATA_HOME=work, XDG_CACHE_HOME=work, XDG_CONFIG_HOME=work)
    r = run(['/usr/bin/python3', '-c', prog, db], input='\n'.join(codes).encode(), env=env)
    got = collections.OrderedDict()
    for line in r.stdout.decode('utf-8').splitlines():
        fields = line.split('\t')
        got[fields[0]] = [f for f in fields[1:] if f]
    return got


def sample_codes(groups, n, seed):
    codes = list(groups)
    rng = random.Random(seed)
    many = [c for c in codes if len(groups[c]) > 1]
    return sorted(set(rng.sample(many, min(n // 2, len(many))) + rng.sample(codes, min(n // 2, len(codes)))))


def zelmora_entries(cli, path, work):
    """The table as zelmora-cli reads it with auto-detection: code -> words in candidate order."""
    out = os.path.join(work, 'read.dict.yaml')
    run([cli, 'convert', path, out, '--output-format', 'rime'])
    groups = collections.OrderedDict()
    data = False
    for line in open(out, encoding='utf-8').read().splitlines():
        if not data:
            data = line == '...'
            continue
        if not line.strip() or line.startswith('#'):
            continue
        fields = line.split('\t')
        groups.setdefault(fields[1], []).append(fields[0])
    return groups


def main():
    engine, cli = sys.argv[1], os.path.abspath(sys.argv[2])
    rime_query = os.path.abspath(sys.argv[3]) if len(sys.argv) > 3 and sys.argv[3] else None
    require(engine, rime_query)
    work = tempfile.mkdtemp(prefix='zelmora-engine-')
    try:
        builtin = os.path.join(work, 'builtin.txt')
        with open(builtin, 'wb') as f:
            f.write(run([cli, 'builtin']).stdout)
        # The built-in table with each code's words on lines far apart: all
        # first candidates, then all second ones, and so on.
        apart = os.path.join(work, 'apart.txt')
        builtin_groups = plain_groups(builtin)
        with open(apart, 'wb') as f:
            rank = 0
            while True:
                lines = ['%s %s' % (c, ws[rank][0]) for c, ws in builtin_groups.items() if len(ws) > rank]
                if not lines:
                    break
                f.write(('\r\n'.join(lines) + '\r\n').encode('gbk'))
                rank += 1
        if rank < 2:
            fail('the built-in table has no code with two words')
        inputs = [('built-in', builtin, builtin_groups), ('wubi86', RIME_DICT, rime_groups(RIME_DICT)),
                  ('built-in, codes apart', apart, plain_groups(apart))]
        for label, source, groups in inputs:
            expected = words_only(groups)
            ties = tie_checker(groups)
            label = '%s %s' % (engine, label)
            if engine == 'rime':
                out = os.path.join(work, 'z.dict.yaml')
                secs = convert(cli, source, out, 'rime')
                head = open(out, encoding='utf-8').read(2000)
                if 'encoder:' not in head or "'^z.*$'" not in head:
                    fail(label + ': no encoder rules in the Rime header')
                # The dictionary's file name must be the name its header gives.
                name = [l.split(':', 1)[1].strip().strip('"\'') for l in head.splitlines() if l.startswith('name:')][0]
                compiled, got = rime_dump(work, name, out, rime_query, list(expected))
                print('%s: converted in %.2f s; compiled %d' % (label, secs, compiled))
                if compiled != pairs_count(groups):
                    fail('%s: Rime compiled %d entries of %d' % (label, compiled, pairs_count(groups)))
                compare(label + ' (rime_query, every code)', expected, got, ties)
            elif engine == 'libime':
                out = os.path.join(work, 'z.txt')
                secs = convert(cli, source, out, 'libime')
                raw = open(out, 'rb').read()
                if raw.startswith(b'\xef\xbb\xbf'):
                    fail(label + ': byte-order mark in libime output')
                if b'[Rule]\ne2=p11+p12+p21+p22\ne3=p11+p21+p31+p32\na4=p11+p21+p31+n11\n' not in raw:
                    fail(label + ': no Wubi-86 [Rule] section')
                run(['libime_tabledict', out, os.path.join(work, 'z.dict')])
                dump = run(['libime_tabledict', '-d', os.path.join(work, 'z.dict'), '-']).stdout.decode('utf-8')
                got = fcitx_data(dump)
                print('%s: converted in %.2f s; compiled and dumped %d' % (label, secs, pairs_count(got)))
                compare(label + ' (libime_tabledict -d)', expected, got, ties)
            elif engine == 'fcitx4':
                out = os.path.join(work, 'z.txt')
                secs = convert(cli, source, out, 'fcitx4')
                raw = open(out, 'rb').read()
                if raw.startswith(b'\xef\xbb\xbf'):
                    fail(label + ': byte-order mark in fcitx4 output')
                # txt2mb inserts each line into a sorted list: fed in code order, as it stores them.
                lines = raw.decode('utf-8').split('\n')
                cut = lines.index('[Data]') + 1
                data = [l for l in lines[cut:] if l]
                data.sort(key=lambda l: l.split(' ', 1)[0].encode())
                sorted_path = os.path.join(work, 'z.sorted.txt')
                with open(sorted_path, 'w', encoding='utf-8') as f:
                    f.write('\n'.join(lines[:cut] + data) + '\n')
                r = run(['txt2mb', sorted_path, os.path.join(work, 'z.mb')])
                said = r.stdout.decode('utf-8', 'replace')
                if 'Delete:' in said or 'Invalid' in said or 'Error' in said:
                    fail('%s: txt2mb said %s' % (label, said[:300]))
                dump = run(['mb2txt', os.path.join(work, 'z.mb')]).stdout.decode('utf-8')
                if 'e2=p11+p12+p21+p22' not in dump:
                    fail(label + ': the compiled table has no phrase rules')
                got = fcitx_data(dump)
                print('%s: converted in %.2f s; %s; dumped %d' % (label, secs, said.strip().splitlines()[-1], pairs_count(got)))
                compare(label + ' (mb2txt)', expected, got, ties)
            elif engine == 'ibus':
                out = os.path.join(work, 'z.txt')
                secs = convert(cli, source, out, 'ibus')
                db = os.path.join(work, 'z.db')
                env = dict(os.environ, HOME=work, XDG_DATA_HOME=work, XDG_CACHE_HOME=work, XDG_CONFIG_HOME=work)
                run(['ibus-table-createdb', '-n', db, '-s', out], env=env)
                got_groups, attrs = ibus_order(db)
                got = words_only(got_groups)
                print('%s: converted in %.2f s; compiled %d' % (label, secs, pairs_count(got)))
                for key, want in (('user_can_define_phrase', 'true'), ('symbol', '五'), ('status_prompt', '五'),
                                  ('rules', 'ce2:p11+p12+p21+p22;ce3:p11+p21+p31+p32;ca4:p11+p21+p31+p-11')):
                    if attrs.get(key, '').lower() != want.lower():
                        fail('%s: ibus attribute %s is %r, not %r' % (label, key, attrs.get(key), want))
                compare(label + ' (sqlite, engine order)', expected, got, ties)
                codes = sample_codes(expected, 200, 13)
                compare(label + ' (ibus-table module, 200 codes)', collections.OrderedDict((c, expected[c]) for c in codes),
                        ibus_engine_query(work, db, codes), ties)
        shipped(engine, cli, work)
        reordered(engine, cli, work, rime_query)
        if engine == 'libime':
            short_coded(cli, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        print('%d failure(s)' % len(failures))
        sys.exit(1)
    print('all checks passed')


def shipped(engine, cli, work):
    """The engine's own Wubi table, read with auto-detection."""
    if engine == 'rime':
        table = open('/usr/share/rime-data/build/wubi86.table.txt', encoding='utf-8').read()
        count = sum(1 for l in table.splitlines() if l and not l.startswith('#'))
        path = RIME_DICT
    elif engine == 'libime':
        path = os.path.join(work, 'wbx.dump.txt')
        run(['libime_tabledict', '-d', '/usr/share/libime/wbx.main.dict', path])
        count = pairs_count(fcitx_data(open(path, encoding='utf-8').read()))
    elif engine == 'fcitx4':
        path = os.path.join(work, 'wbx.mb.txt')
        with open(path, 'wb') as f:
            f.write(run(['mb2txt', '/usr/share/fcitx/table/wbx.mb']).stdout)
        count = pairs_count(fcitx_data(open(path, encoding='utf-8').read()))
    else:
        # ibus-table-wubi ships only the database: its table as an ibus-table
        # source, rows in input order, with the standard header.
        db = '/usr/share/ibus-table/tables/wubi-jidian86.db'
        c = sqlite3.connect('file:%s?mode=ro' % db, uri=True)
        attrs = list(c.execute('SELECT attr, val FROM ime'))
        rows = list(c.execute('SELECT tabkeys, phrase, freq FROM phrases ORDER BY id'))
        c.close()
        path = os.path.join(work, 'jidian.txt')
        with open(path, 'w', encoding='utf-8') as f:
            f.write('SCIM_Generic_Table_Phrase_Library_TEXT\nVERSION_1_0\nBEGIN_DEFINITION\n')
            for k, v in attrs:
                f.write('%s = %s\n' % (k.upper(), v))
            f.write('END_DEFINITION\nBEGIN_TABLE\n')
            for k, p, fr in rows:
                f.write('%s\t%s\t%d\n' % (k, p, fr))
            f.write('END_TABLE\n')
        count = len(rows)
    read = zelmora_entries(cli, path, work)
    print('%s shipped table: engine has %d entries, zelmora-cli read %d' % (engine, count, pairs_count(read)))
    if pairs_count(read) != count:
        fail('%s shipped table: zelmora-cli read %d entries, the engine has %d' % (engine, pairs_count(read), count))
    if engine == 'ibus':
        groups, _ = ibus_order('/usr/share/ibus-table/tables/wubi-jidian86.db')
        # ibus breaks ties of frequency by the first character's code point,
        # Zelmora by file order: those codes are counted apart.
        freq = {(c, p): f for c, v in groups.items() for p, f in v}
        compare('ibus shipped table order', words_only(groups), read,
                lambda code, got: all(freq[(code, a)] >= freq[(code, b)] for a, b in zip(got, got[1:])))


# ---- Candidates reordered by frequency, read back by the engine ----

JIEBA = '/usr/lib/python3/dist-packages/jieba/dict.txt'

# Worked by hand: aa's 乙 and 丙 tie in the table (30), 甲 and 丙 in the list
# (9): 甲 丙 丁, then 乙, which the list lacks. bb's 子 is pinned first; 寅
# (5) comes before 丑, which the list lacks. cc has one candidate; dddd's four
# keys give the libime and fcitx4 headers the key length of Wubi-86's rules.
HAND_TABLE = [('aa', '甲', 40), ('aa', '乙', 30), ('aa', '丙', 30), ('aa', '丁', 10),
              ('bb', '子', 3), ('bb', '丑', 2), ('bb', '寅', 1), ('cc', '工', 7), ('dddd', '大', 1)]
HAND_LIST = '甲 9\n丙 9\n丁 2\n寅 5\n'
HAND_PINS = 'bb 子\n'
HAND_EXPECTED = collections.OrderedDict([('aa', ['甲', '丙', '丁', '乙']), ('bb', ['子', '寅', '丑']), ('cc', ['工']),
                                         ('dddd', ['大'])])


def hand_table(engine, path):
    """The hand-worked table in the engine's own format, with its weights where it has them."""
    if engine == 'rime':
        text = '---\nname: hand\nversion: "1"\nsort: by_weight\n...\n' + ''.join(
            '%s\t%s\t%d\n' % (w, c, f) for c, w, f in HAND_TABLE)
    elif engine == 'ibus':
        text = ('SCIM_Generic_Table_Phrase_Library_TEXT\nVERSION_1_0\nBEGIN_DEFINITION\nUUID = hand\n'
                'SERIAL_NUMBER = 1\nICON = ibus-table.svg\nNAME = hand\nNAME.zh_CN = hand\nLANGUAGES = zh_CN\n'
                'AUTHOR = zelmora\nSTATUS_PROMPT = T\nVALID_INPUT_CHARS = abcdefghijklmnopqrstuvwxyz\n'
                'MAX_KEY_LENGTH = 4\nEND_DEFINITION\nBEGIN_TABLE\n' +
                ''.join('%s\t%s\t%d\n' % (c, w, f) for c, w, f in HAND_TABLE) + 'END_TABLE\n')
    else:
        text = ''.join('%s %s\n' % (c, w) for c, w, _ in HAND_TABLE)
        plain = path + '.plain.txt'
        with open(plain, 'w', encoding='utf-8') as f:
            f.write(text)
        convert(CLI_PATH[0], plain, path, engine)
        return
    with open(path, 'w', encoding='utf-8') as f:
        f.write(text)


CLI_PATH = [None]


def engine_groups(engine, work, path, codes, rime_query, name):
    """Each code's candidates as the engine's own compiler gives them back."""
    if engine == 'rime':
        _, got = rime_dump(work, name, path, rime_query, list(codes))
        return got
    if engine == 'libime':
        run(['libime_tabledict', path, os.path.join(work, 'r.dict')])
        return fcitx_data(run(['libime_tabledict', '-d', os.path.join(work, 'r.dict'), '-']).stdout.decode('utf-8'))
    if engine == 'fcitx4':
        lines = open(path, encoding='utf-8').read().split('\n')
        cut = lines.index('[Data]') + 1
        data = sorted([l for l in lines[cut:] if l], key=lambda l: l.split(' ', 1)[0].encode())
        sorted_path = os.path.join(work, 'r.sorted.txt')
        with open(sorted_path, 'w', encoding='utf-8') as f:
            f.write('\n'.join(lines[:cut] + data) + '\n')
        run(['txt2mb', sorted_path, os.path.join(work, 'r.mb')])
        return fcitx_data(run(['mb2txt', os.path.join(work, 'r.mb')]).stdout.decode('utf-8'))
    db = os.path.join(work, 'r.db')
    if os.path.exists(db):
        os.remove(db)
    env = dict(os.environ, HOME=work, XDG_DATA_HOME=work, XDG_CACHE_HOME=work, XDG_CONFIG_HOME=work)
    run(['ibus-table-createdb', '-n', db, '-s', path], env=env)
    return words_only(ibus_order(db)[0])


def by_list(groups, counts):
    """Each code's candidates ordered by the list: highest first, ties and absent words in their order."""
    return collections.OrderedDict(
        (c, sorted(ws, key=lambda w: (w not in counts, -counts.get(w, 0)))) for c, ws in groups.items())


def reordered(engine, cli, work, rime_query):
    CLI_PATH[0] = cli
    ext = '.dict.yaml' if engine == 'rime' else '.txt'
    # By hand.
    source, out = os.path.join(work, 'hand' + ext), os.path.join(work, 'hand.new' + ext)
    hand_table(engine, source)
    with open(os.path.join(work, 'hand.list'), 'w', encoding='utf-8') as f:
        f.write(HAND_LIST)
    with open(os.path.join(work, 'hand.pins'), 'w', encoding='utf-8') as f:
        f.write(HAND_PINS)
    run([cli, 'reorder', source, '--freq', os.path.join(work, 'hand.list'), '--keep', os.path.join(work, 'hand.pins'),
         '--out', out, '--report', os.path.join(work, 'hand.report')])
    got = engine_groups(engine, work, out, HAND_EXPECTED, rime_query, 'hand')
    compare('%s reorder, worked by hand' % engine, HAND_EXPECTED, got)
    # Debian's wubi86 with jieba, in the engine's format.
    counts = {}
    with open(JIEBA, encoding='utf-8') as f:
        for line in f:
            fields = line.split()
            if len(fields) >= 2:
                counts[fields[0]] = counts.get(fields[0], 0) + int(fields[1])
    if engine == 'rime':
        source = RIME_DICT
    else:
        source = os.path.join(work, 'wubi86' + ext)
        convert(cli, RIME_DICT, source, engine)
    # A Rime dictionary converted into Rime stays in file order: its candidate
    # order is the weights'.
    before = words_only(rime_groups(RIME_DICT)) if engine == 'rime' else zelmora_entries(cli, source, work)
    expected = by_list(before, counts)
    out = os.path.join(work, 'wubi86.new' + ext)
    t = time.time()
    # --by count: the literal order by the list, which by_list works out.
    run([cli, 'reorder', source, '--freq', 'jieba', '--by', 'count', '--out', out, '--report', os.path.join(work, 'wubi86.report')])
    secs = time.time() - t
    changed = {c for c in expected if expected[c] != before[c]}
    got = engine_groups(engine, work, out, expected, rime_query, 'wubi86')
    print('%s reorder of wubi86 by jieba: %d codes change, in %.2f s' % (engine, len(changed), secs))
    # Codes the reorder left alone may hold equal weights, which each engine
    # orders its own way; a code it changed must stand exactly.
    ties = tie_checker(rime_groups(RIME_DICT)) if engine in ('rime', 'ibus') else None
    compare('%s reorder of wubi86 by jieba' % engine, expected, got,
            (lambda code, g: code not in changed and ties(code, g)) if ties else None)


def short_coded(cli, work):
    """A table of codes under 4 keys, converted to libime, compiles: its header holds only rules that fit."""
    CLI_PATH[0] = cli
    source, out = os.path.join(work, 'short.txt'), os.path.join(work, 'short.libime.txt')
    with open(source, 'w', encoding='utf-8') as f:
        f.write('a 工\nab 式 戈\nabc 节\n')
    convert(cli, source, out, 'libime')
    expected = collections.OrderedDict([('a', ['工']), ('ab', ['式', '戈']), ('abc', ['节'])])
    compare('libime table of short codes', expected, engine_groups('libime', work, out, expected, None, 'short'))


if __name__ == '__main__':
    main()
