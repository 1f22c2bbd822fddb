#!/usr/bin/env bash
# Runs the contents-check benchmark on a private X server with a window manager, a session bus and the
# accessibility bus.
#   bench/contents_bench.sh BUILD_DIR
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
exec "$here/../tests/x11/with-x11.sh" bash -c '
    eval "$(dbus-launch --sh-syntax)"
    setsid /usr/libexec/at-spi-bus-launcher --launch-immediately &
    launcher=$!
    "$0/bench/bench_contents" "$0/tests/label_window"
    rc=$?
    kill -- -$launcher 2>/dev/null
    kill "$DBUS_SESSION_BUS_PID" 2>/dev/null
    exit $rc' "$build"
