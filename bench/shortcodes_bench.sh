#!/bin/sh
# Times short codes for levels 1-3 with jieba's word list, greedy and
# optimal, with peak memory: the proposal alone (bench/shortcodes_time.cpp,
# over GB 2312's characters and over all the table's), then the whole
# command (report and typing figures included, --dry-run), on the built-in
# table and on Debian's Rime wubi86 table.
# Usage: bench/shortcodes_bench.sh [BUILD_DIR]
set -e
BUILD=${1:-${BUILD:-build}}
CLI="$BUILD/cli/zelmora-cli"
TIME="$BUILD/bench/shortcodes_time"
RIME=/usr/share/rime-data/wubi86.dict.yaml
[ -x "$TIME" ] || { echo "missing $TIME: cmake --build $BUILD --target shortcodes_time" >&2; exit 1; }
for f in "$RIME" /usr/lib/python3/dist-packages/jieba/dict.txt; do
    [ -e "$f" ] || { echo "missing $f: install rime-data-wubi and python3-jieba (scripts/install-deps)" >&2; exit 1; }
done
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"$CLI" builtin > "$WORK/builtin.txt"

for table in "$WORK/builtin.txt" "$RIME"; do
    name=$(basename "$table")
    echo "-- $name: the proposal alone"
    /usr/bin/time -f "   (whole run %e s, %M KB)" "$TIME" "$table" jieba
    echo "-- $name: zelmora-cli shortcodes --dry-run"
    for method in greedy optimal; do
        /usr/bin/time -f "%e %M" -o "$WORK/time" "$CLI" shortcodes "$table" --freq jieba --method "$method" \
            --dry-run --report "$WORK/report.txt"
        read -r secs kb < "$WORK/time"
        printf '   %-8s %6s s %5s MB  %s\n' "$method" "$secs" "$((kb / 1024))" "$(sed -n 2p "$WORK/report.txt")"
    done
done
