#!/bin/sh
# The menu's start on a data directory that cannot be made or written: a clear message, exit 1, and nothing made
# or changed. Bind mounts make a directory that root cannot write either.
#   menu_start_test.sh PATH-OF-menu-start
set -u
menu_start=$1
work=$(mktemp -d)
mounted=
cleanup() {
    [ -n "$mounted" ] && umount -l "$mounted" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
# refuses DESCRIPTION XDG_DATA_HOME: the start ends with the message and exit 1.
refuses() {
    out=$(env -u DISPLAY XDG_DATA_HOME="$2" HOME="$work/home" sh "$menu_start" zendrel 2>&1)
    rc=$?
    expected="Zendrel cannot use its data directory $2/zendrel: it cannot be made or written to."
    if [ "$rc" -ne 1 ] || [ "$out" != "$expected" ]; then
        echo "FAIL: $1: exit $rc, said: $out" >&2
        failures=$((failures + 1))
    else
        echo "ok: $1"
    fi
}

# A file where the directory would be made, and a file in place of the data directory itself.
printf 'keep me\n' > "$work/file"
refuses "XDG_DATA_HOME is a file" "$work/file"
mkdir "$work/base"
printf 'keep me too\n' > "$work/base/zendrel"
refuses "the data directory is a file" "$work/base"
[ "$(cat "$work/file")" = "keep me" ] && [ "$(cat "$work/base/zendrel")" = "keep me too" ] ||
    { echo "FAIL: a file in the way was changed" >&2; failures=$((failures + 1)); }

# A read-only XDG_DATA_HOME, empty, and one holding the data directory already.
mkdir -p "$work/ro-source/zendrel" "$work/ro"
if mount --bind "$work/ro-source" "$work/ro" 2>/dev/null && mount -o remount,ro,bind "$work/ro" 2>/dev/null; then
    mounted="$work/ro"
    refuses "a read-only XDG_DATA_HOME with the data directory in it" "$work/ro"
    rmdir "$work/ro-source/zendrel"
    refuses "a read-only XDG_DATA_HOME" "$work/ro"
    [ -z "$(ls -A "$work/ro-source")" ] || { echo "FAIL: something was made" >&2; failures=$((failures + 1)); }
else
    echo "skipped: read-only mounts need root"
fi
exit "$failures"
