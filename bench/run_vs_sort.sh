#!/bin/sh
# Times `zelmora-cli run` on generated GBK tables beside GNU sort of the same
# entry lines (UTF-8, case folded, two threads) in the same run, and prints the
# ratio of their wall times: the figure to hold `run` to, whatever the noise
# of the machine. Each command runs REPEAT times; the fastest wall time is
# taken, with its user time and the largest peak memory.
#
# Usage: bench/run_vs_sort.sh [BUILD_DIR] [ENTRIES ...]
#   ENTRIES: table sizes in entries (default: 1000000 5000000), made by
#            bench/make_big_table.py (group lines, CR LF, GBK)
#   REPEAT:  runs of each command (default 3)
set -e
BUILD=${1:-${BUILD:-build}}
[ $# -gt 0 ] && shift
SIZES=${*:-1000000 5000000}
REPEAT=${REPEAT:-3}
CLI=${CLI:-$BUILD/cli/zelmora-cli}
HERE=$(dirname "$0")
if [ ! -x "$CLI" ]; then
    echo "run_vs_sort: no $CLI; build first" >&2
    exit 1
fi
WORK=$(mktemp -d "${TMPDIR:-/tmp}/run_vs_sort.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# label, command...: sets wall, user (seconds, the fastest run's) and mb (peak).
measure() {
    label=$1
    shift
    wall="" user="" mb=0
    i=0
    while [ $i -lt "$REPEAT" ]; do
        /usr/bin/time -f "%e %U %M" -o "$WORK/time" "$@" >"$WORK/stdout" 2>"$WORK/stderr" || {
            echo "run_vs_sort: $label failed:" >&2
            cat "$WORK/stderr" >&2
            exit 1
        }
        read -r w u kb <"$WORK/time"
        if [ -z "$wall" ] || [ "$(echo "$w < $wall" | bc)" = 1 ]; then wall=$w user=$u; fi
        [ $((kb / 1024)) -gt "$mb" ] && mb=$((kb / 1024))
        i=$((i + 1))
    done
    printf '  %-34s %6s s wall %6s s user %6s MB\n' "$label" "$wall" "$user" "$mb"
}

for n in $SIZES; do
    python3 "$HERE/make_big_table.py" "$n" "$WORK/table.txt" 2>/dev/null
    python3 "$HERE/make_big_table.py" --entry-lines "$n" "$WORK/entries-gbk.txt" 2>/dev/null
    iconv -f GBK -t UTF-8 "$WORK/entries-gbk.txt" >"$WORK/entries.txt"
    rm -f "$WORK/entries-gbk.txt"
    echo "== $n entries: $(wc -c <"$WORK/table.txt") bytes, $(($(wc -l <"$WORK/table.txt") + 1)) group lines (best of $REPEAT)"
    measure "sort -f --parallel=2 (UTF-8)" env LC_ALL=C.UTF-8 sort -f --parallel=2 -o "$WORK/sorted.txt" "$WORK/entries.txt"
    sortWall=$wall
    rm -rf "$WORK/out"
    measure "zelmora-cli run" "$CLI" run --source "$WORK/table.txt" --out "$WORK/out"
    echo "  run / sort wall time: $(echo "scale=2; $wall / $sortWall" | bc)"
    rm -rf "$WORK/out" "$WORK/sorted.txt"
done
