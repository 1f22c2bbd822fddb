#!/usr/bin/env bash
# A Wayland compositor without a virtual keyboard or a window list (weston, headless) and no X display:
# zendrel-cli says that there is no desktop to type into, and types nowhere.
#   without_protocols.sh ZENDREL_CLI
set -u
cli=$1
tmp=$(mktemp -d)
trap 'kill $weston 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"' EXIT
mkdir -m 0700 "$tmp/run"
XDG_RUNTIME_DIR="$tmp/run" weston --backend=headless-backend.so --socket=wayland-weston --no-config \
    > "$tmp/weston.log" 2>&1 &
weston=$!
for _ in $(seq 1 200); do
    [ -S "$tmp/run/wayland-weston" ] && break
    sleep 0.05
done
[ -S "$tmp/run/wayland-weston" ] || { echo "weston did not start" >&2; cat "$tmp/weston.log" >&2; exit 1; }
export XDG_RUNTIME_DIR="$tmp/run" WAYLAND_DISPLAY=wayland-weston
unset DISPLAY
fail=0
expect() {  # expect NAME STATUS WANTED-STDERR -- COMMAND...
    local name=$1 status=$2 wanted=$3
    shift 4
    local err
    err=$("$@" 2>&1 >/dev/null </dev/null)
    local rc=$?
    if [ $rc -ne "$status" ] || [ "$err" != "$wanted" ]; then
        echo "FAIL $name: exit $rc, said: $err" >&2
        echo "     wanted exit $status, saying: $wanted" >&2
        fail=1
    else
        echo "ok   $name"
    fi
}
nodesk='zendrel-cli: There is no desktop to type into: no Wayland compositor with a virtual keyboard and a window list (WAYLAND_DISPLAY is "wayland-weston") and no X display (DISPLAY is "").'
expect windows 1 "$nodesk" -- "$cli" windows
mkdir "$tmp/data"
printf 'pw\n' | "$cli" --data "$tmp/data" entries add --user "Default User" --service Bank --name alice \
    --title "Bank*" --wait 0 >/dev/null 2>&1 || { echo "FAIL could not add an entry" >&2; exit 1; }
expect send 1 "$nodesk" -- "$cli" --data "$tmp/data" send 1 --user "Default User"
kill -0 $weston 2>/dev/null || { echo "FAIL weston ended" >&2; fail=1; }
[ $fail = 0 ] && echo "2 passed, 0 failed"
exit $fail
