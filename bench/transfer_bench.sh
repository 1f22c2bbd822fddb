#!/usr/bin/env bash
# Export and import of 100,000 entries (all 20 fields, with the header) by zendrel-cli, beside the sqlite3
# shell doing the same work on a plain table of 20 columns with the same indexes: `.import` of the same file
# and `-csv` output of the same columns, in one run; prints lines per second, the ratios, and the peak memory
# of importing 100,000 lines and 1,000 lines.
#   bench/transfer_bench.sh BUILD_DIR [ENTRIES]
set -euo pipefail
build=$1
count=${2:-100000}
cli=$build/src/zendrel-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/new" "$work/small"
"$build/tests/store_writer" "$work/home" "$count" > /dev/null
echo | "$cli" --data "$work/home" users add Writer > /dev/null 2>&1 || true
fields=P_:Notes,P_:MoreNotes,P_:Service,P_:URL,P_:Name,P_:Password,P_:ExpiryDate,P_:ExpiryInterval,P_:LastChangeDate
fields=$fields,P_:LastChangeTime,P_:Level,P_:Monitor,P_:SecondsToWait,P_:WindowTitleToLocate,P_:WindowContents
fields=$fields,P_:DoNotRepeatSeconds,P_:Paste,P_:DirectSend,P_:Filename,P_:EncryptedFilename

# Seconds and peak resident KiB of one command.
measure() {
    /usr/bin/time -f "%e %M" "$@" > "$work/out" 2> "$work/time" || { cat "$work/time" >&2; exit 1; }
    tail -n 1 "$work/time"
}

read -r export_s _ < <(measure "$cli" --data "$work/home" export --user Writer --fields "$fields" --header \
    --file "$work/all.csv")
lines=$(($(cat "$work/out")))
for d in new small; do
    "$cli" --data "$work/$d" init > /dev/null
    echo | "$cli" --data "$work/$d" users add Writer
done
read -r import_s import_kib < <(measure "$cli" --data "$work/new" import --user Writer --auto --file "$work/all.csv")
added=$(cat "$work/out")
# The first 1,000 entries (notes hold no line breaks: one entry a line).
head -n 1001 "$work/all.csv" > "$work/small.csv"
read -r _ small_kib < <(measure "$cli" --data "$work/small" import --user Writer --auto --file "$work/small.csv")

columns="Notes,MoreNotes,Service,URL,Name,Password,ExpiryDate,ExpiryInterval,LastChangeDate,LastChangeTime,Level"
columns="$columns,Monitor,SecondsToWait,WindowTitleToLocate,WindowContents,DoNotRepeatSeconds,Paste,DirectSend"
columns="$columns,Filename,EncryptedFilename"
{
    echo "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
    echo "CREATE TABLE p($columns);"
    echo "CREATE INDEX p1 ON p(Service, Name); CREATE INDEX p2 ON p(Name, Service);"
    echo "CREATE INDEX p3 ON p(URL, Name); CREATE INDEX p4 ON p(Password, Name, Service);"
    echo "CREATE INDEX p5 ON p(Monitor, Service); CREATE INDEX p6 ON p(LastChangeDate, LastChangeTime, Service);"
    echo "CREATE INDEX p7 ON p(ExpiryDate, Service); CREATE INDEX p8 ON p(Level, Service);"
} > "$work/schema.sql"
sqlite3 "$work/plain.db" < "$work/schema.sql" > /dev/null
read -r shell_import_s _ < <(measure sqlite3 "$work/plain.db" ".import --csv --skip 1 $work/all.csv p")
read -r shell_export_s _ < <(measure sqlite3 -csv "$work/plain.db" "SELECT $columns FROM p")

echo "entries: $count; exported lines: $lines; added: $added"
awk -v ze="$export_s" -v zi="$import_s" -v se="$shell_export_s" -v si="$shell_import_s" -v n="$count" \
    -v big="$import_kib" -v small="$small_kib" 'BEGIN {
    printf "zendrel-cli import: %.2f s (%.0f lines/s); sqlite3 .import: %.2f s (%.0f lines/s); ratio %.2f\n",
        zi, n / zi, si, n / si, zi / si
    printf "zendrel-cli export: %.2f s (%.0f lines/s); sqlite3 -csv: %.2f s (%.0f lines/s); ratio %.2f\n",
        ze, n / ze, se, n / se, ze / se
    printf "peak memory importing %d lines: %.1f MB; 1,000 lines: %.1f MB; difference %.1f MB\n",
        n, big / 1024, small / 1024, (big - small) / 1024
}'
