#!/usr/bin/env bash
# zdmon beside KeePassXC, both idle in the notification area of a private X server (trayer) for a minute:
# resident memory and CPU time; and zdmon's time from process start to its icon embedded in the area.
#   bench/zdmon_bench.sh BUILD_DIR [SECONDS]
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
seconds=${2:-60}
cat > /tmp/zendrel-zdmon-bench.sh <<SCRIPT
set -e
work=\$(mktemp -d)
data=\$work/data
mkdir -p "\$data"
cli="$build/src/zendrel-cli"
# 1,000 entries of the only user, 100 of them watched for windows that never appear.
"\$cli" --data "\$data" init
for i in \$(seq 1 1000); do
    watch=()
    if [ \$((i % 10)) -eq 0 ]; then watch=(--monitor --title "Absent \$i" --repeat 10); fi
    echo pw | "\$cli" --data "\$data" entries add --user "Default User" --service "Service \$i" --name "name\$i" \
        --notes "\$(printf 'n%.0s' \$(seq 1 50))" "\${watch[@]}" > /dev/null
done
trayer --edge top --align right --widthtype pixel --width 200 --height 24 &
tray=\$!
sleep 1
panel=\$(xwininfo -root -tree | awk '/"panel"/ { print \$1; exit }')

# Start to icon, five times: the icon's window found among the area's children.
times=()
for run in 1 2 3 4 5; do
    t0=\$(date +%s%N)
    "$build/src/zdmon" Data="\$data" > /dev/null 2>&1 &
    pid=\$!
    until xwininfo -tree -id "\$panel" | grep -q '"Zendrel Monitor"'; do sleep 0.005; done
    t1=\$(date +%s%N)
    times+=(\$(( (t1 - t0) / 1000000 )))
    kill \$pid; wait \$pid || true
    sleep 0.5
done
echo "start to icon embedded (ms): \${times[*]}"
printf '%s\n' "\${times[@]}" | sort -n | awk '{ a[NR] = \$1 } END { print "median start to icon embedded: " a[int((NR + 1) / 2)] " ms" }'

# cpu seconds and resident kilobytes of a process over the idle period
idle() {
    local pid=\$1 name=\$2
    sleep 5
    local start=\$(awk '{print \$14 + \$15}' /proc/\$pid/stat)
    sleep $seconds
    local end=\$(awk '{print \$14 + \$15}' /proc/\$pid/stat)
    local rss=\$(awk '/VmRSS/ { print \$2 }' /proc/\$pid/status)
    awk -v n="\$name" -v a="\$start" -v b="\$end" -v t=\$(getconf CLK_TCK) -v s=$seconds -v r="\$rss" \
        'BEGIN { printf "%s idle %d s: %.1f MB resident, %.3f%% of a core\n", n, s, r / 1024, 100 * (b - a) / t / s }'
}

"$build/src/zdmon" Data="\$data" > /dev/null 2>&1 &
zd=\$!
idle \$zd zdmon
kill \$zd; wait \$zd || true

# KeePassXC on the same 1,000 entries, minimised to its tray icon at start.
/usr/bin/python3 "$here/keepass_xml.py" 1000 "\$work/entries.xml"
printf 'benchpw\nbenchpw\n' | keepassxc-cli import -q -p "\$work/entries.xml" "\$work/entries.kdbx" > /dev/null 2>&1
mkdir -p "\$work/config/keepassxc"
cat > "\$work/config/keepassxc/keepassxc.ini" <<INI
[General]
ConfigVersion=2
[GUI]
ShowTrayIcon=true
MinimizeToTray=true
MinimizeOnStartup=true
CheckForUpdates=false
INI
echo benchpw | XDG_CONFIG_HOME="\$work/config" keepassxc --pw-stdin "\$work/entries.kdbx" > /dev/null 2>&1 &
kp=\$!
sleep 3
grep -q '"KeePassXC"' <(xwininfo -tree -id "\$panel") && echo "keepassxc: icon in the notification area" || echo "keepassxc: no icon found"
idle \$kp keepassxc
kill \$kp; wait \$kp || true
kill \$tray
rm -rf "\$work"
SCRIPT
exec "$here/../tests/x11/with-x11.sh" bash /tmp/zendrel-zdmon-bench.sh
