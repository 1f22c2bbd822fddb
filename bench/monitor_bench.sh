#!/usr/bin/env bash
# The monitor's costs on a private X server: one send pass over 1,000 waiting rows, and the share of a
# core that `zendrel-cli monitor` uses while it idles with 100 monitored entries (a tick every half second).
#   bench/monitor_bench.sh BUILD_DIR [SECONDS]
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
seconds=${2:-60}
cat > /tmp/zendrel-monitor-bench.sh <<SCRIPT
set -e
"$build/bench/bench_monitor"
data=\$(mktemp -d)
cli="$build/src/zendrel-cli"
"\$cli" --data "\$data" init
for i in \$(seq 1 100); do
    echo pw | "\$cli" --data "\$data" entries add --user "Default User" --service "S\$i" --name "n\$i" \
        --title "Absent \$i" --monitor --repeat 10 --wait 0 > /dev/null
done
"\$cli" --data "\$data" monitor --user "Default User" --seconds $seconds &
pid=\$!
sleep 1
start=\$(awk '{print \$14 + \$15}' /proc/\$pid/stat)
sleep \$(( $seconds - 2 ))
end=\$(awk '{print \$14 + \$15}' /proc/\$pid/stat)
wait \$pid
ticks=\$(getconf CLK_TCK)
awk -v a="\$start" -v b="\$end" -v t="\$ticks" -v s=\$(( $seconds - 2 )) \
    'BEGIN { printf "monitor idling with 100 entries: %.3f%% of a core over %d s\n", 100 * (b - a) / t / s, s }'
rm -rf "\$data"
SCRIPT
exec "$here/../tests/x11/with-x11.sh" bash /tmp/zendrel-monitor-bench.sh
