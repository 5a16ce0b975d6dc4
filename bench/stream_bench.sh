#!/bin/sh
# Times zelmora-cli convert and check on large tables, streamed (the default)
# and with --no-stream (the whole table in memory), and prints seconds and
# peak memory (/usr/bin/time) of each, and whether both wrote the same bytes.
# The tables are made by bench/make_stream_table.py from Debian's
# rime-data-wubi wubi86.dict.yaml, repeated under new code prefixes: a Rime
# dictionary (UTF-8, sort: by_weight) and GBK group lines.
#
# Usage: bench/stream_bench.sh [BUILD_DIR] [LINES ...]
#   LINES: table sizes in entry lines (default: 1000000 4000000 10000000 25000000)
#   WHOLE_MAX: largest table also converted with --no-stream (default 10000000;
#              that path needs several GB there)
#   WINDOWS_FORMATS: the Windows programs' formats timed (default: all six;
#              empty: none)
set -e
BUILD=${1:-${BUILD:-build}}
[ $# -gt 0 ] && shift
SIZES=${*:-1000000 4000000 10000000 25000000}
WHOLE_MAX=${WHOLE_MAX:-10000000}
WINDOWS_FORMATS=${WINDOWS_FORMATS-duoduo bingling jidian sogou-phrase baidu-phrase jisu}
CLI="$BUILD/cli/zelmora-cli"
DICT=${RIME_WUBI_DICT:-/usr/share/rime-data/wubi86.dict.yaml}
HERE=$(dirname "$0")
if [ ! -x "$CLI" ]; then
    echo "stream_bench: no $CLI; build first" >&2
    exit 1
fi
if [ ! -f "$DICT" ]; then
    echo "stream_bench: no $DICT; scripts/install-deps installs rime-data-wubi" >&2
    exit 1
fi
WORK=$(mktemp -d "${TMPDIR:-/tmp}/stream_bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# label, output file or -, command...: prints seconds and peak RSS, keeps a checksum of the output.
measure() {
    label=$1 out=$2
    shift 2
    status=0
    if [ "$out" = - ]; then
        # A report can be larger than the table: checksummed as it comes.
        /usr/bin/time -f "%e %M" -o "$WORK/time" "$@" 2>"$WORK/stderr" | md5sum >"$WORK/sum" || status=$?
        sum=$(cut -c1-12 "$WORK/sum")
        status=$(grep -c "exited with non-zero status" "$WORK/time" || true)
    else
        /usr/bin/time -f "%e %M" -o "$WORK/time" "$@" >"$WORK/stdout" 2>"$WORK/stderr" || status=$?
        sum=$(md5sum <"$out" | cut -c1-12)
        rm -f "$out"
    fi
    read -r secs kb <<EOF
$(tail -n 1 "$WORK/time")
EOF
    printf '  %-62s %7s s %7s MB  exit %s  %s\n' "$label" "$secs" "$((kb / 1024))" "$status" "$sum"
}

for lines in $SIZES; do
    python3 "$HERE/make_stream_table.py" rime "$lines" "$WORK/big.dict.yaml" "$DICT" 2>/dev/null
    python3 "$HERE/make_stream_table.py" plain "$lines" "$WORK/big.txt" "$DICT" 2>/dev/null
    echo "== $lines entry lines: Rime $(($(wc -c <"$WORK/big.dict.yaml") / 1048576)) MB, GBK group lines $(($(wc -c <"$WORK/big.txt") / 1048576)) MB"
    for mode in stream whole; do
        if [ $mode = whole ] && [ "$lines" -gt "$WHOLE_MAX" ]; then
            echo "  (--no-stream left out above $WHOLE_MAX lines)"
            continue
        fi
        flag=
        [ $mode = whole ] && flag=--no-stream
        # Engine formats are UTF-8 only: the same format, its lines copied.
        measure "$mode: Rime -> Rime (same format)" "$WORK/o.dict.yaml" \
            "$CLI" convert "$WORK/big.dict.yaml" "$WORK/o.dict.yaml" $flag
        measure "$mode: Rime -> libime (by weight within codes)" "$WORK/o.txt" \
            "$CLI" convert "$WORK/big.dict.yaml" "$WORK/o.txt" --output-format libime $flag
        measure "$mode: Rime -> GB18030 group lines" "$WORK/o.txt" \
            "$CLI" convert "$WORK/big.dict.yaml" "$WORK/o.txt" --output-format plain --output-encoding gb18030 $flag
        measure "$mode: GBK group lines -> Rime in UTF-8" "$WORK/o.dict.yaml" \
            "$CLI" convert "$WORK/big.txt" "$WORK/o.dict.yaml" --encoding gbk --output-format rime --output-encoding utf-8 $flag
        measure "$mode: check Rime (most codes are longer than four letters)" - "$CLI" check "$WORK/big.dict.yaml" $flag
        # The Windows programs' formats (UTF-16LE with a byte-order mark):
        # written from group lines, and read back into them.
        for f in $WINDOWS_FORMATS; do
            measure "$mode: GBK group lines -> $f" "$WORK/o.txt" \
                "$CLI" convert "$WORK/big.txt" "$WORK/o.txt" --encoding gbk --output-format "$f" $flag
            [ "$f" = jisu ] && continue  # written only
            "$CLI" convert "$WORK/big.txt" "$WORK/w.txt" --encoding gbk --output-format "$f"
            measure "$mode: $f -> GB18030 group lines" "$WORK/o.txt" \
                "$CLI" convert "$WORK/w.txt" "$WORK/o.txt" --output-format plain --output-encoding gb18030 $flag
        done
    done
done
echo "(last column: the first 12 hex digits of the MD5 of the output; equal sums for stream and whole mean the same bytes)"
