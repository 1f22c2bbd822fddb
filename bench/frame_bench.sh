#!/usr/bin/env bash
# Start-up of the main program on 100,000 entries, and the share of a core its frame uses while idling
# with the monitor on, on a private X server with a window manager.
#   bench/frame_bench.sh BUILD_DIR [SECONDS]
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
seconds=${2:-60}
data=$(mktemp -d)
"$build/tests/store_writer" "$data" 100000 > /dev/null
"$build/src/zendrel-cli" --data "$data" init
cat > /tmp/zendrel-frame-bench.sh <<SCRIPT
"$build/bench/bench_frame" "$build/src/zendrel" "$data"
"$build/src/zendrel" "Data=$data" &
pid=\$!
sleep 2
start=\$(awk '{print \$14 + \$15}' /proc/\$pid/stat)
sleep $seconds
end=\$(awk '{print \$14 + \$15}' /proc/\$pid/stat)
kill \$pid
monitor=\$("$build/src/zendrel-cli" --data "$data" settings get ZD_MA)
awk -v a="\$start" -v b="\$end" -v t=\$(getconf CLK_TCK) -v s=$seconds -v m="\$monitor" \
    'BEGIN { printf "frame idling (monitor at start-up %s): %.3f%% of a core over %d s\n", m, 100 * (b - a) / t / s, s }'
SCRIPT
"$here/../tests/x11/with-x11.sh" bash /tmp/zendrel-frame-bench.sh 2> >(grep -v -e XDG_RUNTIME -e 'xterm:' >&2)
rm -rf "$data"
