#!/usr/bin/env bash
# Time and peak memory of zendrel-cli's commands on a data directory of 100,000 entries of one user, and of
# keepassxc-cli's on a database of the same entries, in one run; prints both and the ratios.
#   bench/cli_bench.sh BUILD_DIR [ENTRIES]
set -euo pipefail
build=$1
count=${2:-100000}
here=$(cd "$(dirname "$0")" && pwd)
cli=$build/src/zendrel-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
data=$work/data
mkdir -p "$data"
"$build/tests/store_writer" "$data" "$count" > /dev/null
echo | "$cli" --data "$data" users add Writer

# The same entries for keepassxc-cli, imported from a KeePass XML file.
/usr/bin/python3 "$here/keepass_xml.py" "$count" "$work/entries.xml"
printf 'benchpw\nbenchpw\n' | keepassxc-cli import -q -p "$work/entries.xml" "$work/entries.kdbx" > /dev/null 2>&1

# "seconds kilobytes" of one command, its standard input from the first argument.
measure() {
    local input=$1
    shift
    # A search without results exits non-zero in keepassxc-cli; the figures are read all the same.
    printf '%b' "$input" | /usr/bin/time -f "%e %M" "$@" > /dev/null 2> "$work/time" || true
    tail -n 1 "$work/time"
}

row() {
    local what=$1 z=$2 k=$3
    read -r zs zk <<< "$z"
    read -r ks kk <<< "$k"
    printf '| %s | %s s, %d MB | %s s, %d MB | %s |\n' "$what" "$zs" $((zk / 1024)) "$ks" $((kk / 1024)) \
        "$(awk -v a="$ks" -v b="$zs" 'BEGIN { printf (b > 0 ? "%.0f" : "-"), (b > 0 ? a / b : 0) }')"
}

echo "| command | zendrel-cli | keepassxc-cli | ratio (keepassxc / zendrel) |"
echo "|---|---|---|---|"
row "show one entry" "$(measure '' "$cli" --data "$data" entries show $((count / 2)) --user Writer)" \
    "$(measure 'benchpw\n' keepassxc-cli show -q "$work/entries.kdbx" "Service $(printf %07d $((count / 2 - 1)))")"
row "list every entry" "$(measure '' "$cli" --data "$data" entries list --user Writer)" \
    "$(measure 'benchpw\n' keepassxc-cli ls -q "$work/entries.kdbx")"
row "search" "$(measure '' "$cli" --data "$data" entries search 9999 --user Writer)" \
    "$(measure 'benchpw\n' keepassxc-cli search -q "$work/entries.kdbx" 9999)"
row "add one entry" "$(measure 'pw\n' "$cli" --data "$data" entries add --user Writer --service bench-added --name bench-added)" \
    "$(measure 'benchpw\npw\n' keepassxc-cli add -q -p "$work/entries.kdbx" bench-added)"
