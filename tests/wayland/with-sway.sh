#!/usr/bin/env bash
# Runs a command under a private headless sway (no outputs to a screen, no input devices, no XWayland),
# then stops it. sway refuses to run as root, so as root it runs as an unprivileged user that owns the
# runtime directory; root's own clients still connect through the socket.
#   with-sway.sh COMMAND [ARGS...]
# The command sees WAYLAND_DISPLAY, XDG_RUNTIME_DIR and SWAYSOCK (for swaymsg); DISPLAY is unset.
set -u
tmp=$(mktemp -d /tmp/zendrel-sway.XXXXXX)
runtime="$tmp/run"
mkdir -m 0700 "$runtime"
cat > "$tmp/config" <<CONFIG
output HEADLESS-1 resolution 1280x1024
xwayland disable
CONFIG
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    uid=$(id -u nobody)
    gid=$(id -g nobody)
    chown "$uid:$gid" "$runtime" "$tmp/config"
    as_user=(setpriv --reuid="$uid" --regid="$gid" --clear-groups)
fi
chmod 0755 "$tmp"
env -i PATH="$PATH" HOME="$tmp" XDG_RUNTIME_DIR="$runtime" \
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=1 \
    "${as_user[@]}" sway --config "$tmp/config" > "$tmp/sway.log" 2>&1 &
sway=$!
ready=0
for _ in $(seq 1 200); do
    sock=$(ls "$runtime"/sway-ipc.*.sock 2>/dev/null | head -n1)
    socket=$(cd "$runtime" && ls wayland-? 2>/dev/null | head -n1)
    if [ -n "$socket" ] && [ -S "$runtime/$socket" ] && [ -n "$sock" ]; then
        ready=1
        break
    fi
    kill -0 $sway 2>/dev/null || break
    sleep 0.05
done
if [ $ready = 0 ]; then
    echo "with-sway: sway did not start" >&2
    cat "$tmp/sway.log" >&2
    kill $sway 2>/dev/null
    rm -rf "$tmp"
    exit 1
fi
# Root's clients reach the user's socket; the socket's mode lets them.
chmod 0777 "$runtime/$socket" 2>/dev/null
export XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="$socket" SWAYSOCK="$sock"
unset DISPLAY
"$@"
rc=$?
kill $sway 2>/dev/null
wait $sway 2>/dev/null
[ $rc -ne 0 ] && [ -n "${ZENDREL_SWAY_LOG:-}" ] && cat "$tmp/sway.log" >&2
rm -rf "$tmp"
exit $rc
