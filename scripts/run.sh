#!/usr/bin/env bash
# Starts Zendrel on its data directory; on a machine without a display, on a virtual one (Xvfb), saving
# a screenshot of the frame with the first user's password list open, so that it can be seen to run.
#   scripts/run.sh BUILD_DIR DATA_DIR
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=$1
data=$2
[ -d "$data" ] || mkdir -p -m 700 "$data"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display here: starting Zendrel on a virtual display (Xvfb); a screenshot of it goes to $data/screenshot.png."
    exec "$here/tests/x11/with-x11.sh" "$build/src/zendrel" "Data=$data" --screenshot "$data/screenshot.png"
fi
exec "$build/src/zendrel" "Data=$data"
