# Shared by the end-to-end shell scripts: numbered checks, and waiting on windows and processes.
# Sourced; the script defines nothing of these itself.

failures=0

# check CONDITION DESCRIPTION: evaluates the condition, prints "ok" or "FAIL" with the description.
check() {
    if eval "$1"; then echo "ok    $2"; else echo "FAIL  $2"; failures=$((failures + 1)); fi
}

# window_named REGEX: the first visible window whose title matches, waited for up to 30 s; empty if none.
window_named() {
    local found=""
    for _ in $(seq 1 300); do
        found=$(xdotool search --onlyvisible --name "$1" 2> /dev/null | head -1)
        [ -n "$found" ] && break
        sleep 0.1
    done
    echo "$found"
}

# press_return WINDOW: activates the window and presses Return in it (nothing for an empty id).
press_return() {
    [ -n "$1" ] || return 0
    xdotool windowactivate --sync "$1" 2> /dev/null
    xdotool key --clearmodifiers Return
}

# wait_status PID: sets `status` to the exit status of a child of this shell that ends within 10 s; to
# nothing, with the child killed, otherwise. (Not in a subshell: only this shell can wait for its child.)
wait_status() {
    status=""
    for _ in $(seq 1 100); do
        if ! kill -0 "$1" 2> /dev/null; then
            wait "$1"
            status=$?
            break
        fi
        sleep 0.1
    done
    if [ -z "$status" ]; then
        kill "$1" 2> /dev/null
        wait "$1" 2> /dev/null
    fi
}
