#!/bin/sh
# Debian's Rime wubi86 table (136,753 entries) converted to each engine's
# format with default options, and to GBK leaving out what GBK can't hold:
# wall time and peak memory of each, the best of RUNS runs.
# Usage: bench/engines_bench.sh [ZELMORA_CLI] [RUNS]
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
CLI=${1:-$root/build/cli/zelmora-cli}
RUNS=${2:-3}
SRC=/usr/share/rime-data/wubi86.dict.yaml
[ -x "$CLI" ] || { echo "no zelmora-cli at $CLI" >&2; exit 2; }
[ -f "$SRC" ] || { echo "missing $SRC (package rime-data-wubi; run scripts/install-deps)" >&2; exit 2; }
command -v /usr/bin/time >/dev/null || { echo "missing /usr/bin/time (package time)" >&2; exit 2; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

measure() {  # label, arguments
    label=$1; shift
    best_t=""; best_m=""
    i=0
    while [ $i -lt "$RUNS" ]; do
        /usr/bin/time -f "%e %M" -o "$WORK/time" "$CLI" "$@" 2>"$WORK/err" >/dev/null
        read -r t m < "$WORK/time"
        if [ -z "$best_t" ] || awk "BEGIN{exit !($t < $best_t)}"; then best_t=$t; fi
        if [ -z "$best_m" ] || [ "$m" -lt "$best_m" ]; then best_m=$m; fi
        i=$((i + 1))
    done
    awk -v l="$label" -v t="$best_t" -v m="$best_m" 'BEGIN{printf "%-40s %7s s %8.1f MB\n", l, t, m / 1024}'
}

echo "zelmora-cli on $SRC, best of $RUNS"
for f in rime libime fcitx4 ibus; do
    measure "convert --output-format $f" convert "$SRC" "$WORK/out.$f" --output-format $f
    measure "  the same, --no-stream" convert "$SRC" "$WORK/out.$f" --output-format $f --no-stream
done
measure "convert plain gbk --unencodable skip" convert "$SRC" "$WORK/out.gbk" --output-format plain \
    --output-encoding gbk --unencodable skip
measure "  the same, --no-stream" convert "$SRC" "$WORK/out.gbk" --output-format plain \
    --output-encoding gbk --unencodable skip --no-stream
"$CLI" convert "$SRC" "$WORK/out.gbk" --output-format plain --output-encoding gbk --unencodable skip 2>&1 >/dev/null
