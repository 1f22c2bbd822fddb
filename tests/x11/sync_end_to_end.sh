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
. "$(dirname "$0")/script_checks.sh"

"$CLI" --data "$a" init > /dev/null
printf 'pw\n' | "$CLI" --data "$a" users add Ann
printf 'pw\nbank secret\n' | "$CLI" --data "$a" entries add --user Ann --service Bank --name ann > /dev/null
printf 'pw\nmail secret\n' | "$CLI" --data "$a" entries add --user Ann --service Mail --name ann.l > /dev/null

"$ZENDREL" /SyncOut User=Ann Password=pw "File=$stick/home.syn" "Data=$a" > "$work/zendrel.log" 2>&1 &
pid=$!
done_window=$(window_named '^Done$')
check '[ -n "$done_window" ]' "the summary \"Done\" is shown"
check '[ -z "$(xdotool search --onlyvisible --name "^Zendrel$" 2> /dev/null)" ]' "the frame never opens"
press_return "$done_window"
wait_status $pid
rc=$status
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
cancelled=$(window_named '^Synchonization cancelled$')
check '[ -n "$cancelled" ]' "a command line without the values says \"Synchonization cancelled\""
press_return "$cancelled"
wait_status $pid
rc=$status
check '[ "$rc" = 1 ]' "and zendrel ends with status 1 (status: ${rc:-still running})"

[ $failures = 0 ] || { cat "$work/zendrel.log"; exit 1; }
