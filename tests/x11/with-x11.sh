#!/usr/bin/env bash
# Runs a command on a private X server (Xvfb) with a window manager (openbox), then stops both.
#   with-x11.sh [--no-wm] COMMAND [ARGS...]
set -u
wm=1
if [ "${1:-}" = "--no-wm" ]; then
    wm=0
    shift
fi
tmp=$(mktemp -d)
exec 3> "$tmp/displayfd"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset > "$tmp/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 1 100); do
    [ -s "$tmp/displayfd" ] && break
    sleep 0.05
done
if [ ! -s "$tmp/displayfd" ]; then
    echo "with-x11: Xvfb did not start" >&2
    cat "$tmp/xvfb.log" >&2
    kill $xvfb 2>/dev/null
    exit 1
fi
export DISPLAY=":$(tr -d '\n' < "$tmp/displayfd")"
unset XAUTHORITY
wmpid=""
if [ $wm = 1 ]; then
    openbox --sm-disable > "$tmp/openbox.log" 2>&1 &
    wmpid=$!
    for _ in $(seq 1 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.05
    done
fi
setxkbmap us 2>/dev/null
"$@"
rc=$?
[ -n "$wmpid" ] && kill $wmpid 2>/dev/null
kill $xvfb 2>/dev/null
wait 2>/dev/null
rm -rf "$tmp"
exit $rc
