#!/bin/sh
# Times zelmora-cli score, with peak memory: a text of 10,000,000 characters
# (Debian's fortunes-zh texts, blank "%" lines removed, repeated) typed
# through Debian's Rime wubi86 table, greedy and optimal, on one thread and
# on two; jieba's word list typed once per count; and, for the share of the
# time that is reading the table, the table alone with a one-line text.
# Usage: bench/typing_bench.sh [BUILD_DIR] [CHARACTERS]
set -e
BUILD=${1:-${BUILD:-build}}
N=${2:-10000000}
CLI="$BUILD/cli/zelmora-cli"
TABLE=/usr/share/rime-data/wubi86.dict.yaml
FORTUNES=/usr/share/games/fortunes
for f in "$TABLE" "$FORTUNES/chinese.u8"; do
    [ -e "$f" ] || { echo "missing $f: install rime-data-wubi and fortunes-zh (scripts/install-deps)" >&2; exit 1; }
done
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

measure() {  # label, command...
    label=$1; shift
    /usr/bin/time -f "%e %U %S %M" -o "$WORK/time" "$@" >"$WORK/out" 2>"$WORK/err" || { cat "$WORK/err" >&2; exit 1; }
    read -r secs user sys kb < "$WORK/time"
    printf '%-44s %6s s elapsed %6s s user %5s s sys %5s MB  %s\n' "$label" "$secs" "$user" "$sys" "$((kb / 1024))" \
        "$(grep -m1 'keys per character (' "$WORK/out" | tr -s ' ' | cut -c1-60)"
}

cat "$FORTUNES/chinese.u8" "$FORTUNES/song100.u8" "$FORTUNES/tang300.u8" | grep -v '^%$' > "$WORK/one.txt"
python3 - "$WORK/one.txt" "$N" "$WORK/text.txt" <<'PY'
import sys
one = open(sys.argv[1], encoding="utf-8").read()
n = int(sys.argv[2])
text = (one * (n // len(one) + 1))[:n]
cut = text.rfind("\n")  # end on a whole line
open(sys.argv[3], "w", encoding="utf-8").write(text[:cut + 1])
PY
iconv -f utf-8 -t gb18030 "$WORK/text.txt" > "$WORK/text-gb.txt"
echo "-- text: $(python3 -c "import sys; print(len(open(sys.argv[1], encoding='utf-8').read()))" "$WORK/text.txt") characters, $(wc -c < "$WORK/text.txt") bytes UTF-8; table: $TABLE"
printf '工\n' > "$WORK/tiny.txt"
measure "table alone (one-character text)" "$CLI" score "$TABLE" "$WORK/tiny.txt"
measure "greedy" "$CLI" score "$TABLE" "$WORK/text.txt"
measure "optimal" "$CLI" score --optimal "$TABLE" "$WORK/text.txt"
measure "greedy, GB18030 text" "$CLI" score "$TABLE" "$WORK/text-gb.txt"
measure "greedy, one thread (--threads 1)" "$CLI" score --threads 1 "$TABLE" "$WORK/text.txt"
measure "jieba's word list (--freq jieba)" "$CLI" score "$TABLE" --freq jieba
measure "jieba, --chars gb2312" "$CLI" score "$TABLE" --freq jieba --chars gb2312
