#!/usr/bin/env bash
# Runs the X11 benchmarks on a private X server with a window manager.
#   bench/x11_bench.sh BUILD_DIR
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
exec "$here/../tests/x11/with-x11.sh" "$build/bench/bench_x11" >&1 2> >(grep -v 'xterm:' >&2)
