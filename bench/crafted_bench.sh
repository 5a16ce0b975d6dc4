#!/bin/sh
# Times zelmora-cli (seconds, peak memory) on the crafted shapes that once
# made it quadratic or hungry: the partition sort's adversary order, many
# words on one line, a Rime header naming many columns, repeats of one long
# word, one code with millions of words, a merge into a table of millions of
# lines. Compare two builds by running it for each.
#
# Usage: bench/crafted_bench.sh [BUILD_DIR]
#   KILLER_LINES: lines of the adversary order (default 390000; crafting it
#                 takes minutes, as it runs the quadratic sort once)
set -e
BUILD=${1:-${BUILD:-build}}
CLI="$BUILD/cli/zelmora-cli"
HERE=$(dirname "$0")
[ -x "$CLI" ] || { echo "crafted_bench: no $CLI; build first" >&2; exit 1; }
WORK=$(mktemp -d "${TMPDIR:-/tmp}/crafted_bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

measure() {  # label, command...
    label=$1; shift
    /usr/bin/time -f "%e %M" -o "$WORK/time" "$@" >/dev/null 2>&1 || true
    read -r secs kb < "$WORK/time"
    printf '%-40s %8s s %8s MB\n' "$label" "$secs" "$((kb / 1024))"
}

"$BUILD/bench/make_killer_table" "${KILLER_LINES:-390000}" > "$WORK/killer.txt"
measure "expand, adversary order" "$CLI" expand "$WORK/killer.txt"
measure "run, adversary order" "$CLI" run --source "$WORK/killer.txt" --out "$WORK/o1"

python3 "$HERE/crafted.py" words-on-line > "$WORK/wol.txt"
measure "relate, 100,000 words on one line" "$CLI" relate --source "$WORK/wol.txt" --out "$WORK/o2"

python3 "$HERE/crafted.py" rime-columns > "$WORK/columns.dict.yaml"
measure "check, Rime header of 100,000 columns" "$CLI" check "$WORK/columns.dict.yaml"

python3 "$HERE/crafted.py" long-word > "$WORK/long.txt"
measure "fullcodes, 20 x one 200,000-char word" "$CLI" fullcodes --source "$WORK/long.txt" --out "$WORK/o3"

python3 "$HERE/crafted.py" huge-line > "$WORK/huge.txt"
measure "check, 10,000,000 words on one line" "$CLI" check "$WORK/huge.txt"
measure "convert to Rime, same line" "$CLI" convert "$WORK/huge.txt" "$WORK/huge.dict.yaml" --output-format rime
rm -f "$WORK/huge.txt" "$WORK/huge.dict.yaml"

python3 "$HERE/make_big_table.py" --entry-lines 5000000 "$WORK/big.txt" >/dev/null
python3 "$HERE/crafted.py" merge-words > "$WORK/words.txt"
measure "merge 3 words into 5,000,000 lines" "$CLI" encode "$WORK/words.txt" --merge "$WORK/big.txt" --out "$WORK/big2.txt"
