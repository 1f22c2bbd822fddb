#!/usr/bin/env bash
# Runs a command beside a CUPS scheduler of its own: its configuration, spool and socket in a private
# directory, nothing listening on the network, no printer of the system touched. Its printers run the test
# backend (test-backend.sh beside this script):
#   zendrel-good      prints (keeps what it gets)           zendrel-fail      fails; the job is aborted
#   zendrel-stopping  fails; the printer stops on the job   zendrel-slow      prints slowly, to be cancelled
#   zendrel-closed    refuses jobs
# The command gets CUPS_SERVER (the socket) and ZENDREL_CUPS_OUT (where the good printer keeps its jobs).
# The scheduler and everything it started end with the command, however it ends. Exit 77 (skipped) where no
# scheduler can run: not root, or cupsd missing.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
if [ "$(id -u)" -ne 0 ]; then
    echo "with-cupsd: the scheduler runs backends as root: run as root" >&2
    exit 77
fi
cupsd=$(command -v cupsd || echo /usr/sbin/cupsd)
if [ ! -x "$cupsd" ] || [ ! -x /usr/lib/cups/daemon/cups-exec ]; then
    echo "with-cupsd: cupsd is not installed (Debian cups-daemon)" >&2
    exit 77
fi

root=$(mktemp -d "${TMPDIR:-/tmp}/zendrel-cupsd.XXXXXX")
pid=
cleanup() {
    if [ -n "$pid" ]; then
        kill -TERM "$pid" 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        # The scheduler's own process group: a backend it left behind goes too.
        kill -KILL -- "-$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$root/etc" "$root/spool/tmp" "$root/cache" "$root/state" "$root/log" "$root/bin/backend" "$root/out"
ln -s /usr/lib/cups/daemon "$root/bin/daemon"
ln -s /usr/lib/cups/notifier "$root/bin/notifier"
# Backends that run as root must belong to root and be writable by nobody else.
install -m 0700 "$here/test-backend.sh" "$root/bin/backend/zendrel-test"

cat >"$root/etc/cups-files.conf" <<CONF
ServerRoot $root/etc
ServerBin $root/bin
StateDir $root/state
CacheDir $root/cache
RequestRoot $root/spool
TempDir $root/spool/tmp
DataDir /usr/share/cups
ErrorLog $root/log/error_log
AccessLog $root/log/access_log
PageLog $root/log/page_log
SystemGroup root
FileDevice No
Printcap $root/printcap
CONF
cat >"$root/etc/cupsd.conf" <<CONF
Listen $root/cups.sock
LogLevel debug
Browsing No
BrowseLocalProtocols none
WebInterface No
PreserveJobHistory Yes
JobKillDelay 5
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
printer() { # name, backend, error policy, accepting
    cat >>"$root/etc/printers.conf" <<CONF
<Printer $1>
Info Zendrel test printer ($2)
State Idle
Accepting $4
DeviceURI zendrel-test:/$2
ErrorPolicy $3
</Printer>
CONF
}
printer zendrel-good good abort-job Yes
printer zendrel-fail fail abort-job Yes
printer zendrel-stopping fail stop-printer Yes
printer zendrel-slow slow abort-job Yes
printer zendrel-closed good abort-job No
chmod 0600 "$root/etc/printers.conf"

setsid "$cupsd" -f -c "$root/etc/cupsd.conf" -s "$root/etc/cups-files.conf" >"$root/log/stdout" 2>&1 &
pid=$!
export CUPS_SERVER=$root/cups.sock
for _ in $(seq 100); do
    if lpstat -r >/dev/null 2>&1; then
        break
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "with-cupsd: cupsd ended at once:" >&2
        cat "$root/log/stdout" "$root/log/error_log" >&2 2>/dev/null || true
        exit 1
    fi
    sleep 0.1
done
if ! lpstat -r >/dev/null 2>&1; then
    echo "with-cupsd: cupsd does not answer on $CUPS_SERVER" >&2
    exit 1
fi

export ZENDREL_CUPS_OUT=$root/out
status=0
"$@" || status=$?
if [ "$status" -ne 0 ]; then
    echo "with-cupsd: the scheduler's log:" >&2
    grep -E '^[EW] ' "$root/log/error_log" >&2 || true
fi
exit "$status"
