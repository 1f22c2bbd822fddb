#!/usr/bin/env bash
# zendrel-cli on a native Wayland desktop (run under with-sway.sh): it names the desktop and lists foot
# windows, sends an entry into the one its title names, and its monitor types a watched entry once when a
# window with its title appears; its clip goes through the compositor's clipboard.
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

# entries clip, while a foot window has the focus: another client pastes the password, offered with the hint
# that keeps clipboard managers from storing it; it is gone after the set seconds, and a copy the user made
# meanwhile stays.
paste() { wl-paste --no-newline "$@" 2>/dev/null; }
zc settings set ZD_CI 2 >/dev/null
zc entries clip 1 --user "Default User" 2>"$tmp/clip.err" &
clip=$!
for _ in $(seq 1 100); do [ "$(paste)" == "s3cr€t" ] && break; sleep 0.05; done
check "clip puts the password where another client pastes it" "$(paste)" "s3cr€t"
check "the copy offers the password-manager hint" "$(paste --list-types | grep -c -x x-kde-passwordManagerHint)" 1
check "the hint says secret" "$(paste --type x-kde-passwordManagerHint)" "secret"
wait $clip
check "clip exits 0" "$?" 0
check "clip says how long" "$(cat "$tmp/clip.err")" "On the clipboard for 2 seconds."
check "the password is gone afterwards" "$(paste)" ""
zc entries clip 1 --user "Default User" 2>/dev/null &
clip=$!
for _ in $(seq 1 100); do [ "$(paste)" == "s3cr€t" ] && break; sleep 0.05; done
wl-copy --foreground "mine" &
pids+=($!)
wait $clip
check "a copy made meanwhile stays" "$(paste)" "mine"

echo "$passed passed, $failed failed"
[ $failed = 0 ]
