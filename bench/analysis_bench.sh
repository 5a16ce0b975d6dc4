#!/bin/sh
# Times zelmora-cli check (with phrase codes), stats and diff on tables of
# 1,000,000 entries, with peak memory: a table of characters and phrases coded
# by the rules with 1% wrong codes planted (bench/make_phrase_table.py), a
# changed version of it, and the random table of bench/gen_table.py (nearly
# every phrase code wrong: the report is the work).
# Usage: bench/analysis_bench.sh [BUILD_DIR] [ENTRIES]
set -e
BUILD=${1:-${BUILD:-build}}
N=${2:-1000000}
CLI="$BUILD/cli/zelmora-cli"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
HERE=$(dirname "$0")

measure() {  # label, command...
    label=$1; shift
    /usr/bin/time -f "%e %U %S %M" -o "$WORK/time" "$@" >"$WORK/out" || true
    # A failing status (check's findings, diff's differences) adds a line first.
    tail -n 1 "$WORK/time" > "$WORK/time1"
    read -r secs user sys kb < "$WORK/time1"
    printf '%-40s %7s s elapsed %6s s user %5s s sys %6s MB  (%s)\n' "$label" "$secs" "$user" "$sys" "$((kb / 1024))" \
        "$(tail -n 1 "$WORK/out" | cut -c1-70)"
}

"$CLI" builtin > "$WORK/builtin.txt"
python3 "$HERE/make_phrase_table.py" "$WORK/builtin.txt" "$N" "$WORK/p.txt" --changed "$WORK/p2.txt"
python3 "$HERE/gen_table.py" "$N" 1 > "$WORK/r.txt"
python3 "$HERE/gen_table.py" "$N" 2 > "$WORK/r2.txt"
iconv -f gbk -t utf-8 "$WORK/p2.txt" > "$WORK/p2-utf8.txt"
echo "-- $N entries: phrase table $(wc -c < "$WORK/p.txt") bytes, random table $(wc -c < "$WORK/r.txt") bytes"
measure "check phrase table" "$CLI" check "$WORK/p.txt"
measure "check phrase table --no-stream" "$CLI" check --no-stream "$WORK/p.txt"
measure "check phrase table --no-phrases" "$CLI" check --no-phrases "$WORK/p.txt"
measure "check random table" "$CLI" check "$WORK/r.txt"
measure "stats phrase table" "$CLI" stats "$WORK/p.txt"
measure "stats --json random table" "$CLI" stats --json "$WORK/r.txt"
measure "diff phrase table, itself" "$CLI" diff "$WORK/p.txt" "$WORK/p.txt"
measure "diff phrase table, changed" "$CLI" diff "$WORK/p.txt" "$WORK/p2.txt"
measure "diff phrase table, changed (UTF-8)" "$CLI" diff "$WORK/p.txt" "$WORK/p2-utf8.txt"
measure "diff two random tables --tsv" "$CLI" diff --tsv "$WORK/r.txt" "$WORK/r2.txt"
