#!/usr/bin/env bash
# The Debian package as a user's system meets it, on the X server that with-x11.sh started: built by the
# package target, its files and modes, lintian, the menu entries, the manual pages against the program's
# own help, and the unpacked tree running all three programs with their shared files found.
#   check_package.sh BUILD_DIR
set -u
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../x11/script_checks.sh"

cmake --build "$build" --target package > "$work/package.log" 2>&1 || { cat "$work/package.log"; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$build/zendrel_${version}_amd64.deb"
check '[ -s "$deb" ]' "the package is $(basename "$deb")"

# Files and their modes.
dpkg-deb -c "$deb" | awk '{print $1, $6}' | sed 's|^\(.*\) \./|\1 /|' > "$work/contents"
expect() {
    wanted="$1 $2"
    check 'grep -qx -- "$wanted" "$work/contents"' "$2 is there as $1"
}
for program in zendrel zdmon zendrel-cli; do
    expect -rwxr-xr-x "/usr/bin/$program"
    expect -rw-r--r-- "/usr/share/man/man1/$program.1.gz"
done
expect -rwxr-xr-x /usr/lib/zendrel/menu-start
for entry in zendrel zdmon; do
    expect -rw-r--r-- "/usr/share/applications/$entry.desktop"
done
expect -rw-r--r-- /usr/share/icons/hicolor/scalable/apps/zendrel.svg
for size in 16 22 24 32 48 64 128 256; do
    expect -rw-r--r-- "/usr/share/icons/hicolor/${size}x${size}/apps/zendrel.png"
done
for shared in words.txt KEYCODES.TXT guide/index.html; do
    expect -rw-r--r-- "/usr/share/zendrel/$shared"
done
expect -rw-r--r-- /usr/share/doc/zendrel/copyright
check '! grep -q " /usr/local" "$work/contents"' "nothing under /usr/local"
check 'dpkg-deb -f "$deb" Depends | grep -q libsqlcipher' "the dependencies come from the libraries linked"

# Lintian: no errors; its warnings are printed for the record.
lintian --no-tag-display-limit "$deb" > "$work/lintian" 2>&1
grep -E '^(W|E):' "$work/lintian" | sed 's/^/      /'
check '! grep -q "^E:" "$work/lintian"' "lintian reports no errors"

# The unpacked tree.
root="$work/root"
dpkg-deb -x "$deb" "$root"
for entry in zendrel zdmon; do
    desktop-file-validate "$root/usr/share/applications/$entry.desktop" > "$work/validate" 2>&1
    valid=$?
    sed 's/^/      /' "$work/validate"
    check '[ "$valid" = 0 ] && ! grep -q "error:" "$work/validate"' "the menu entry $entry.desktop validates"
done
check '[ "$(identify -format "%wx%h" "$root/usr/share/icons/hicolor/48x48/apps/zendrel.png")" = 48x48 ]' \
    "the icon renderings have their sizes"
for program in zendrel zdmon zendrel-cli; do
    zcat "$root/usr/share/man/man1/$program.1.gz" | groff -ww -man -Tutf8 -z > "$work/groff" 2>&1
    sed 's/^/      /' "$work/groff"
    check '[ ! -s "$work/groff" ]' "the manual page of $program renders without warnings"
done
cli="$root/usr/bin/zendrel-cli"
zcat "$root/usr/share/man/man1/zendrel-cli.1.gz" | groff -man -Tutf8 2> /dev/null | col -b > "$work/cli.txt"
"$cli" --help | sed -n '/^Commands:/,/^$/p' | grep -E '^  [a-z]' | sed -E 's/^  ([a-z]+( [a-z]+)?).*/\1/' |
    while read -r command; do
        grep -q -- "$command" "$work/cli.txt" || echo "$command"
    done > "$work/unlisted"
check '[ ! -s "$work/unlisted" ]' "the manual page lists every command of zendrel-cli --help$(sed 's/^/\n      missing: /' "$work/unlisted")"

data="$work/fresh"
mkdir "$data"
check '"$cli" --data "$data" init > /dev/null && [ "$("$cli" --data "$data" users list)" = "Default User" ]' \
    "the unpacked zendrel-cli prepares a fresh data directory"
"$root/usr/bin/zendrel" "Data=$data" --screenshot "$work/frame.png" > "$work/zendrel.log" 2>&1 &
zendrel=$!
shown=$(window_named '^Zendrel')
check '[ -n "$shown" ]' "the unpacked zendrel shows its frame"
nocore() {
    grep -Eq '^Max core file size +0 +0 ' "/proc/$1/limits"
}
check 'nocore "$zendrel"' "zendrel runs with a core size of 0"
kill "$zendrel" 2> /dev/null
wait "$zendrel" 2> /dev/null

"$cli" --data "$data" monitor --user "Default User" --seconds 5 > /dev/null 2>&1 &
monitor=$!
sleep 1
check 'nocore "$monitor"' "zendrel-cli runs with a core size of 0"
kill "$monitor" 2> /dev/null
wait "$monitor" 2> /dev/null

# The monitor from the menu: its own data directory made private, and its refusal there.
export XDG_DATA_HOME="$work/xdg"
"$root/usr/lib/zendrel/menu-start" zdmon > "$work/zdmon.log" 2>&1 &
zdmon=$!
refusal=$(window_named '^Zendrel Monitor$')
check '[ -n "$refusal" ]' "zdmon started from the menu says the main program must run first"
check 'nocore "$zdmon"' "zdmon runs with a core size of 0"
check '[ "$(stat -c %a "$XDG_DATA_HOME/zendrel")" = 700 ]' "the menu's data directory is the user's alone"
press_return "$refusal"
wait_status "$zdmon"
rc=$status
check '[ "$rc" = 1 ]' "zdmon ends with status 1 after its refusal (got ${rc:-none})"

echo "$failures failed"
[ "$failures" -eq 0 ]
