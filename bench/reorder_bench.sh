#!/bin/sh
# Times the reorder of Debian's Rime wubi86 table by jieba's word list: step by
# step (reorder_time: read, order, write, read back), then zelmora-cli reorder
# whole with its report (the typing figures of both tables on the list), with
# peak memory. Usage: bench/reorder_bench.sh [BUILD_DIR]
set -e
BUILD=${1:-${BUILD:-build}}
CLI="$BUILD/cli/zelmora-cli"
TABLE=/usr/share/rime-data/wubi86.dict.yaml
LIST=/usr/lib/python3/dist-packages/jieba/dict.txt
for f in "$TABLE" "$LIST"; do
    [ -e "$f" ] || { echo "missing $f: install rime-data-wubi and python3-jieba (scripts/install-deps)" >&2; exit 1; }
done
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
echo "-- table: $TABLE; list: $LIST"
"$BUILD/bench/reorder_time" "$TABLE" jieba
/usr/bin/time -f "%e %U %M" -o "$WORK/time" "$CLI" reorder "$TABLE" --freq jieba --out "$WORK/new.dict.yaml" \
    --report "$WORK/report.txt"
read -r secs user kb < "$WORK/time"
printf '%-32s %7s s wall %7s s user %5s MB\n' "zelmora-cli reorder, report" "$secs" "$user" "$((kb / 1024))"
head -1 "$WORK/report.txt"
