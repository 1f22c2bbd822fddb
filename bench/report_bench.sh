#!/usr/bin/env bash
# The master report of a user with 100,000 entries (notes of 200 characters) into a PDF file through zendrel-cli,
# beside enscript and ps2pdf turning the same fields, written as plain text, into a PDF, in one run: both times,
# page counts, zendrel-cli's peak memory and the ratio; then the report's pass in the ticks of its progress window.
#   bench/report_bench.sh BUILD_DIR [ENTRIES]
set -euo pipefail
build=$1
count=${2:-100000}
cli=$build/src/zendrel-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data"
"$build/bench/bench_report" make "$work/data" "$count"

pages() { pdfinfo "$1" | awk '/^Pages:/ { print $2 }'; }

/usr/bin/time -f "%e %M" -o "$work/zendrel.time" \
    "$cli" --data "$work/data" report --kind master --user "Bench User" --pdf "$work/zendrel.pdf" > /dev/null
read -r zendrel_s zendrel_kb < "$work/zendrel.time"
/usr/bin/time -f "%e %M" -o "$work/enscript.time" \
    bash -c "enscript -q -B -p '$work/plain.ps' '$work/data/plain.txt' && ps2pdf '$work/plain.ps' '$work/plain.pdf'"
read -r enscript_s enscript_kb < "$work/enscript.time"

echo "zendrel-cli report --kind master: $zendrel_s s, $(pages "$work/zendrel.pdf") pages, peak $((zendrel_kb / 1024)) MB"
echo "enscript + ps2pdf: $enscript_s s, $(pages "$work/plain.pdf") pages, peak $((enscript_kb / 1024)) MB"
awk -v z="$zendrel_s" -v e="$enscript_s" 'BEGIN { printf "ratio (enscript + ps2pdf) / zendrel-cli: %.2f\n", e / z }'
"$build/bench/bench_report" ticks "$work/data"
