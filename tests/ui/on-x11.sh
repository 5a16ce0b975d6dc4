#!/bin/sh
# Runs a window test on a fresh X server (Xvfb) with the xcb platform, with
# no window manager or with the one named.
#
#   on-x11.sh none|WM TEST [TEST ARGUMENTS]
set -e
wm=$1
shift
command -v xvfb-run >/dev/null || { echo "on-x11: xvfb-run missing: install the package xvfb (scripts/install-deps)" >&2; exit 1; }
if [ "$wm" != none ]; then
    command -v "$wm" >/dev/null || { echo "on-x11: $wm missing: install the package $wm (scripts/install-deps)" >&2; exit 1; }
fi
exec xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    wm=$1; shift
    if [ "$wm" != none ]; then
        "$wm" >/dev/null 2>&1 &
        wmpid=$!
        # Until the manager has taken the screen.
        for i in $(seq 50); do
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
            sleep 0.1
        done
    fi
    QT_QPA_PLATFORM=xcb "$@"
    status=$?
    [ -n "$wmpid" ] && kill "$wmpid"
    exit $status
' sh "$wm" "$@"
