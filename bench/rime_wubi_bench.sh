#!/bin/sh
# Times zelmora-cli on Debian's rime-data-wubi wubi86 dictionary (UTF-8 Rime,
# about 136,000 entries): read and written back unchanged, checked, converted
# to GBK group lines, and run through every derivation with the results
# written as Rime dictionaries. Prints seconds and peak memory of each.
# Usage: bench/rime_wubi_bench.sh [BUILD_DIR]
set -e
BUILD=${1:-${BUILD:-build}}
CLI="$BUILD/cli/zelmora-cli"
DICT=${RIME_WUBI_DICT:-/usr/share/rime-data/wubi86.dict.yaml}
if [ ! -x "$CLI" ]; then
    echo "rime_wubi_bench: no $CLI; build first" >&2
    exit 1
fi
if [ ! -f "$DICT" ]; then
    echo "rime_wubi_bench: no $DICT; scripts/install-deps installs rime-data-wubi" >&2
    exit 1
fi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

measure() {  # label, command...
    label=$1; shift
    status=0
    /usr/bin/time -f "%e %M" -o "$WORK/time" "$@" >"$WORK/stdout" 2>"$WORK/stderr" || status=$?
    read -r secs kb < "$WORK/time"
    printf '%-44s %6s s %6s MB  (exit %s)\n' "$label" "$secs" "$((kb / 1024))" "$status"
}

entries=$(grep -c "$(printf '\t')" "$DICT" || true)
echo "== $DICT: $(wc -c < "$DICT") bytes, about $entries entry lines"
measure "convert (Rime back to Rime)" "$CLI" convert "$DICT" "$WORK/same.dict.yaml"
if cmp -s "$DICT" "$WORK/same.dict.yaml"; then echo "   written back byte for byte"; else echo "   DIFFERS from the original"; exit 1; fi
measure "check" "$CLI" check "$DICT"
measure "convert to GBK group lines" "$CLI" convert "$DICT" "$WORK/plain.txt" --output-format plain --output-encoding gb18030
measure "run, results as UTF-8 text" "$CLI" run --source "$DICT" --out "$WORK/text"
measure "run, results as Rime dictionaries" "$CLI" run --source "$DICT" --out "$WORK/rime" --output-format rime
cat "$WORK/stdout"
measure "run on the same table as GB18030 text" "$CLI" run --source "$WORK/plain.txt" --encoding gb18030 --out "$WORK/gb"
