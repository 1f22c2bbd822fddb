#!/usr/bin/env bash
# zendrel-cli on a native Wayland desktop (run under with-sway.sh): it names the desktop and lists foot
# windows, sends an entry into the one its title names, and its monitor types a watched entry once when a
# window with its title appears.
#   cli_end_to_end.sh ZENDREL_CLI
set -u
cli=$1
tmp=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill $p 2>/dev/null; done; wait 2>/dev/null; rm -rf "$tmp"' EXIT
passed=0
failed=0
check() {  # check NAME GOT WANTED
    if [ "$2" == "$3" ]; then
        passed=$((passed + 1))
        echo "ok   $1"
    else
        failed=$((failed + 1))
        printf 'FAIL %s\n  got:    %q\n  wanted: %q\n' "$1" "$2" "$3" >&2
    fi
}
# foot TITLE FILE: a terminal whose input goes to FILE, once its window is listed.
foot_window() {
    foot --title "$1" sh -c "stty -echo; exec cat > '$2'" >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 1 200); do
        "$cli" windows 2>/dev/null | cut -f2 | grep -qx "$1" && break
        sleep 0.05
    done
    sleep 0.3
}
# The file's contents once it holds N line ends (or after ten seconds).
received() {
    for _ in $(seq 1 200); do
        [ -f "$1" ] && [ "$(tr -cd '\n' < "$1" | wc -c)" -ge "$2" ] && break
        sleep 0.05
    done
    cat "$1" 2>/dev/null
}
zc() { "$cli" --data "$tmp/data" "$@"; }

foot_window "Other Window" "$tmp/other"
foot_window "Bank Login" "$tmp/bank"
listing=$("$cli" windows)
check "windows names the desktop" "$(head -n1 <<<"$listing")" "desktop: wayland"
check "windows lists the last activated first" "$(sed -n '2,3p' <<<"$listing" | cut -f2)" $'Bank Login\nOther Window'

mkdir "$tmp/data"
zc init >/dev/null
printf 's3cr€t\n' | zc entries add --user "Default User" --service Bank --name alice --title "bank*" --wait 0 >/dev/null
printf 'first\n' | zc entries add --user "Default User" --service Once --name o --title "Watch One" --wait 0 \
    --monitor --paste "[Password][Enter]" >/dev/null
zc send 1 --user "Default User"
check "send exits 0" "$?" 0
check "send types name, Tab, password, Enter" "$(received "$tmp/bank" 1 | od -c | head -n2)" \
    "$(printf 'alice\ts3cr€t\n' | od -c | head -n2)"
check "the other window got nothing" "$(cat "$tmp/other")" ""

zc monitor --user "Default User" --seconds 20 > "$tmp/monitor.out" 2>&1 &
pids+=($!)
sleep 1
foot_window "Watch One" "$tmp/watch"
check "the monitor types the watched entry" "$(received "$tmp/watch" 1)" "first"
sleep 2
check "and only once" "$(cat "$tmp/watch")" "first"
check "the monitor says where it typed" "$(head -n1 "$tmp/monitor.out")" "typed Once into Watch One"

echo "$passed passed, $failed failed"
[ $failed = 0 ]
