#!/usr/bin/env bash
# Runs the Wayland benchmarks under a private headless sway.
#   bench/wayland_bench.sh BUILD_DIR
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
exec "$here/../tests/wayland/with-sway.sh" "$build/bench/bench_wayland" 2> >(grep -v '^ *\(info\|warn\|err\):' >&2)
