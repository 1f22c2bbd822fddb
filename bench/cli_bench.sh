#!/usr/bin/env bash
# Time and peak memory of zendrel-cli commands on a data directory of 100,000 entries of one user.
#   bench/cli_bench.sh BUILD_DIR [ENTRIES]
set -euo pipefail
build=$1
count=${2:-100000}
cli=$build/src/zendrel-cli
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
"$build/tests/store_writer" "$data" "$count" > /dev/null
echo | "$cli" --data "$data" users add Writer
run() {
    /usr/bin/time -f "%e %M" "$cli" --data "$data" "$@" > /dev/null 2> "$data/time" || { cat "$data/time"; exit 1; }
    read -r seconds kb < <(tail -n 1 "$data/time")
    printf '| %s | %s s | %d MB |\n' "$*" "$seconds" $((kb / 1024))
}
echo "| command | time | peak memory |"
echo "|---|---|---|"
run entries show $((count / 2)) --user Writer
run entries list --user Writer
run entries search 9999 --user Writer
printf 'pw\n' | run entries add --user Writer --service bench-added --name bench-added
