#!/usr/bin/env bash
# Synchronization of 100,000 entries (notes of 200 characters): zendrel-cli's send from one data directory and
# receive into another, beside keepassxc-cli's merge of two databases holding the same entries (imported
# with the smallest decryption time it allows), in one run; prints both times and the ratio.
#   bench/sync_bench.sh BUILD_DIR [ENTRIES]
set -euo pipefail
build=$1
count=${2:-100000}
here=$(cd "$(dirname "$0")" && pwd)
cli=$build/src/zendrel-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/office"
"$build/tests/store_writer" "$work/home" "$count" > /dev/null
echo | "$cli" --data "$work/home" users add Writer
"$cli" --data "$work/office" init > /dev/null
echo | "$cli" --data "$work/office" users add Writer

/usr/bin/python3 "$here/keepass_xml.py" "$count" "$work/entries.xml"
for db in home office; do
    printf 'benchpw\nbenchpw\n' | keepassxc-cli import -q -p -t 100 "$work/entries.xml" "$work/$db.kdbx" > /dev/null 2>&1
done

seconds() {
    local input=$1
    shift
    printf '%b' "$input" | /usr/bin/time -f "%e" "$@" > "$work/out" 2> "$work/time"
    tail -n 1 "$work/time"
}

send=$(seconds '' "$cli" --data "$work/home" sync send --user Writer --file "$work/stick.syn")
sent=$(cat "$work/out")
receive=$(seconds '' "$cli" --data "$work/office" sync receive --user Writer --file "$work/stick.syn")
received=$(tr '\n' ' ' < "$work/out")
merge=$(seconds 'benchpw\n' keepassxc-cli merge -q -s "$work/office.kdbx" "$work/home.kdbx")

echo "zendrel-cli sync send: $send s ($sent)"
echo "zendrel-cli sync receive: $receive s ($received)"
echo "keepassxc-cli merge: $merge s"
awk -v s="$send" -v r="$receive" -v m="$merge" \
    'BEGIN { printf "send + receive: %.2f s; ratio merge / (send + receive): %.2f\n", s + r, m / (s + r) }'
