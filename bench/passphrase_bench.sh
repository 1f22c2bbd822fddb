#!/usr/bin/env bash
# The cost of opening a data directory protected by a passphrase, in one run:
#  1. key derivation with Zendrel's parameters (zendrel-cli opening a protected empty directory, minus the
#     same command on an unprotected one) beside keepassxc-cli db-info on a database freshly made by
#     keepassxc-cli db-create with its default key derivation: time and peak memory of each;
#  2. zendrel-cli entries list on a protected directory of ENTRIES entries (passphrase through
#     --passphrase-fd) against the same command on the same entries unprotected.
#   bench/passphrase_bench.sh BUILD_DIR [ENTRIES] [RUNS]
set -euo pipefail
build=$1
count=${2:-100000}
runs=${3:-5}
cli=$build/src/zendrel-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo benchpass > "$work/pass"

# "seconds kilobytes" of one command (best time of the runs, its peak memory).
measure() {
    local best="" mem=0
    for _ in $(seq "$runs"); do
        # The passphrase file is opened afresh for each run: a descriptor read once is at its end.
        /usr/bin/time -f "%e %M" "$@" > /dev/null 2> "$work/time" < /dev/null 3< "$work/pass" || true
        read -r t m < <(tail -n 1 "$work/time")
        if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; fi
        [ "$m" -gt "$mem" ] && mem=$m
    done
    echo "$best $mem"
}

mkdir -p "$work/small" "$work/smallp"
"$cli" --data "$work/small" init
"$cli" --data "$work/smallp" init
"$cli" --data "$work/smallp" passphrase set < "$work/pass" > /dev/null 2>&1
printf 'benchpw\nbenchpw\n' | keepassxc-cli db-create -p "$work/k.kdbx" > /dev/null 2>&1
keepassxc-cli db-info -q "$work/k.kdbx" <<< benchpw | grep '^KDF'
# Each protected run must succeed, or its figures mean nothing.
"$cli" --data "$work/smallp" --passphrase-fd 3 users list 3< "$work/pass" > /dev/null

read -r zt zm < <(measure "$cli" --data "$work/smallp" --passphrase-fd 3 users list)
read -r ut um < <(measure "$cli" --data "$work/small" users list)
read -r kt km < <(measure sh -c "echo benchpw | keepassxc-cli db-info -q '$work/k.kdbx'")
echo "derivation: zendrel-cli users list protected ${zt}s ${zm}KB, unprotected ${ut}s ${um}KB"
echo "            keepassxc-cli db-info ${kt}s ${km}KB"
awk -v zt="$zt" -v ut="$ut" -v kt="$kt" -v zm="$zm" -v um="$um" -v km="$km" 'BEGIN {
    printf "            Zendrel derivation %.3fs, %d KB over unprotected; ratio to KeePassXC: time %.2f, memory %.2f\n",
           zt - ut, zm - um, (zt - ut) / kt, zm / km }'

mkdir -p "$work/big"
"$build/tests/store_writer" "$work/big" "$count" > /dev/null
echo | "$cli" --data "$work/big" users add Writer > /dev/null
read -r lt lm < <(measure "$cli" --data "$work/big" entries list --user Writer)
"$cli" --data "$work/big" passphrase set < "$work/pass" > /dev/null 2>&1
"$cli" --data "$work/big" --passphrase-fd 3 entries list --user Writer 3< "$work/pass" | wc -l
read -r pt pm < <(measure "$cli" --data "$work/big" --passphrase-fd 3 entries list --user Writer)
echo "entries list, $count entries: unprotected ${lt}s ${lm}KB, protected ${pt}s ${pm}KB"
awk -v lt="$lt" -v pt="$pt" -v zt="$zt" -v ut="$ut" 'BEGIN {
    printf "            protected minus unprotected minus derivation: %.0f ms\n", (pt - lt - (zt - ut)) * 1000 }'
