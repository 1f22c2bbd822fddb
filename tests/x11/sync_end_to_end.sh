#!/usr/bin/env bash
# The main program's command-line synchronization as a script meets it, on the X server that with-x11.sh
# started: `zendrel /SyncOut User=... Password=... File=... Data=A` shows the summary and nothing else,
# ends with status 0 once the summary is confirmed by a key, and the file is received into another data
# directory by zendrel-cli.
#   sync_end_to_end.sh ZENDREL ZENDREL_CLI
set -u
ZENDREL=$1
CLI=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
a="$work/home"
b="$work/work place"
stick="$work/my stick"
mkdir -p "$a" "$b" "$stick"
failures=0
check() {
    if eval "$1"; then echo "ok    $2"; else echo "FAIL  $2"; failures=$((failures + 1)); fi
}

"$CLI" --data "$a" init > /dev/null
printf 'pw\n' | "$CLI" --data "$a" users add Ann
printf 'pw\nbank secret\n' | "$CLI" --data "$a" entries add --user Ann --service Bank --name ann > /dev/null
printf 'pw\nmail secret\n' | "$CLI" --data "$a" entries add --user Ann --service Mail --name ann.l > /dev/null

"$ZENDREL" /SyncOut User=Ann Password=pw "File=$stick/home.syn" "Data=$a" > "$work/zendrel.log" 2>&1 &
pid=$!
done_window=""
for _ in $(seq 1 200); do
    done_window=$(xdotool search --onlyvisible --name '^Done$' 2> /dev/null | head -1)
    [ -n "$done_window" ] && break
    sleep 0.1
done
check '[ -n "$done_window" ]' "the summary \"Done\" is shown"
check '[ -z "$(xdotool search --onlyvisible --name "^Zendrel$" 2> /dev/null)" ]' "the frame never opens"
if [ -n "$done_window" ]; then
    xdotool windowactivate --sync "$done_window" 2> /dev/null
    xdotool key --clearmodifiers Return
fi
rc=""
for _ in $(seq 1 100); do
    if ! kill -0 $pid 2> /dev/null; then
        wait $pid
        rc=$?
        break
    fi
    sleep 0.1
done
if [ -z "$rc" ]; then
    kill $pid 2> /dev/null
    wait $pid 2> /dev/null
fi
check '[ "$rc" = 0 ]' "zendrel ends with status 0 after the key (status: ${rc:-still running})"
check '[ -f "$stick/home.syn" ]' "the exchange file is written"

"$CLI" --data "$b" init > /dev/null
printf 'pw\n' | "$CLI" --data "$b" users add Bob
got=$(printf 'pw\n' | "$CLI" --data "$b" sync receive --user Bob --file "$stick/home.syn")
check '[ "$got" = "$(printf "Records added:  2\nRecords updated:  0")" ]' "zendrel-cli receives both entries ($got)"
listed=$(printf 'pw\n' | "$CLI" --data "$b" entries list --user Bob | cut -f2 | tr '\n' ' ')
check '[ "$listed" = "Bank Mail " ]' "they are Bob's now ($listed)"

# Without the values: the message, and status 1 once it is confirmed.
"$ZENDREL" /SyncIn "Data=$a" >> "$work/zendrel.log" 2>&1 &
pid=$!
cancelled=""
for _ in $(seq 1 200); do
    cancelled=$(xdotool search --onlyvisible --name '^Synchonization cancelled$' 2> /dev/null | head -1)
    [ -n "$cancelled" ] && break
    sleep 0.1
done
check '[ -n "$cancelled" ]' "a command line without the values says \"Synchonization cancelled\""
if [ -n "$cancelled" ]; then
    xdotool windowactivate --sync "$cancelled" 2> /dev/null
    xdotool key --clearmodifiers Return
fi
rc=""
for _ in $(seq 1 100); do
    if ! kill -0 $pid 2> /dev/null; then
        wait $pid
        rc=$?
        break
    fi
    sleep 0.1
done
[ -z "$rc" ] && kill $pid 2> /dev/null
check '[ "$rc" = 1 ]' "and zendrel ends with status 1 (status: ${rc:-still running})"

[ $failures = 0 ] || { cat "$work/zendrel.log"; exit 1; }
