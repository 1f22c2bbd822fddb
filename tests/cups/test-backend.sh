#!/bin/sh
# The backend of the print tests' printers, chosen by the end of the device address:
#   good  takes the whole job and keeps it beside the fixture (job-N.pdf, and its arguments in job-N.args)
#   fail  reads part of the job, says why it fails, and fails
#   slow  reads part of the job, then waits so that a test can cancel it; keeps it only if let finish
# Without arguments it describes itself, as every backend does when asked for its devices.
if [ $# -eq 0 ]; then
    echo 'direct zendrel-test "Unknown" "Zendrel test printer"'
    exit 0
fi
out=$(dirname "$0")/../../out
job=$1
input=${6:-/dev/stdin}
case "${DEVICE_URI#*:/}" in
good)
    printf '%s\n' "$@" >"$out/job-$job.args"
    cat "$input" >"$out/job-$job.part" && mv "$out/job-$job.part" "$out/job-$job.pdf"
    exit 0
    ;;
fail)
    head -c 4096 "$input" >/dev/null
    echo "ERROR: The paper jammed after the first page" >&2
    exit 1
    ;;
slow)
    head -c 4096 "$input" >/dev/null
    touch "$out/job-$job.started"
    sleep 60 &
    sleeper=$!
    trap 'kill $sleeper 2>/dev/null; exit 0' TERM
    wait $sleeper
    cat "$input" >"$out/job-$job.pdf"
    exit 0
    ;;
esac
echo "ERROR: No test printer at $DEVICE_URI" >&2
exit 1
