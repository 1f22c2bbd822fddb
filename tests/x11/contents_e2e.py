#!/usr/bin/python3
"""An entry's window contents text confirmed by what windows show on the accessibility bus, on the X server
that with-x11.sh started, with a session bus and an accessibility bus of the test's own.

  contents_e2e.py ZENDREL_CLI LABEL_WINDOW

1. Two GTK dialogs (zenity) with one title, one showing "Enter your bank password", one "Help": an entry
   whose contents are "bank password" is typed into the first only, whichever is in front.
2. The same with two Qt windows (label_window). With the bus switched off (org.a11y.Status IsEnabled), the
   first look at a window's texts switches it on. (Qt 6 itself waits for a screen reader's switch, read when
   it starts, or QT_LINUX_ACCESSIBILITY_ALWAYS_ON, which the windows get here.)
3. A contents text that neither shows: Send reports "The associated window does not exist (", the monitor
   types nothing, and nothing arrives anywhere.
4. A dialog whose program is stopped (SIGSTOP) in front of one that answers: the send costs at most the time
   limit for the stopped one and goes into the other.
"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

from e2e import start_buses

CLI, LABEL_WINDOW = sys.argv[1], sys.argv[2]
USER = "Default User"
failures = []
children = []


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what, flush=True)
    if not condition:
        failures.append(what)


def wait_for(predicate, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.2)
    return predicate()


def run(*args, given=b""):
    return subprocess.run([CLI, *args], input=given, capture_output=True)


def cli(data, *args, given=b""):
    r = run("--data", data, *args, given=given)
    if r.returncode != 0:
        raise SystemExit("zendrel-cli %s: %s" % (" ".join(args), r.stderr.decode()))
    return r.stdout.decode()


def visible(title):
    r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % re.escape(title)],
                       capture_output=True, text=True)
    return r.stdout.split()


def start(args, title, count):
    """Starts a window program and waits until `count` windows of that title are on the screen, the new one in
    front."""
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    p = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, env=env)
    children.append(p)
    if not wait_for(lambda: len(visible(title)) >= count):
        raise SystemExit("no window %r from %s" % (title, args[0]))
    time.sleep(0.5)  # the window manager gives it the focus
    return p


def texts(title):
    r = run("windows", "--texts", title)
    return r.stdout.decode().splitlines() if r.returncode == 0 else []


def typed(p, seconds=10):
    """What a window program printed when Enter was typed into it, or None while it still runs."""
    try:
        out, _ = p.communicate(timeout=seconds)
        return out.strip()
    except subprocess.TimeoutExpired:
        return None


def still_open(p):
    return p.poll() is None


def a11y_enabled():
    r = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                        "org.freedesktop.DBus.Properties.Get", "string:org.a11y.Status", "string:IsEnabled"],
                       capture_output=True, text=True)
    return "boolean true" in r.stdout


def switch_off_a11y():
    subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                    "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status", "string:IsEnabled",
                    "variant:boolean:false"], capture_output=True)


def close(*programs):
    for p in programs:
        if p.poll() is None:
            p.kill()
            p.wait()


def pair(make_bank, make_help, title, bank_in_front, entry, data, what):
    """Two windows of one title; the entry's text must arrive in the bank one only."""
    if bank_in_front:
        helper = make_help(1)
        bank = make_bank(2)
    else:
        bank = make_bank(1)
        helper = make_help(2)
    order = "in front" if bank_in_front else "behind"
    r = run("--data", data, "send", entry, "--user", USER)
    check(r.returncode == 0, "%s: the send with the bank window %s succeeds (%s)" % (what, order, r.stderr.decode().strip()))
    check(typed(bank) == "s3cret", "%s: the password arrives in the bank window %s" % (what, order))
    check(still_open(helper), "%s: the help window, %s, receives nothing" % (what, "behind" if bank_in_front else "in front"))
    close(bank, helper)
    wait_for(lambda: not visible(title), 10)


def main():
    buses = start_buses()
    data = tempfile.mkdtemp(prefix="zendrel-contents-e2e-")
    try:
        cli(data, "init")
        entries = []

        def entry(title, contents, *more):
            entries.append(title)
            return cli(data, "entries", "add", "--user", USER, "--service", "%s / %s / %s" % (title, contents, more),
                       "--url", "https://bank.example/%d" % len(entries), "--name", "ann",
                       "--title", title, "--contents", contents, "--wait", "0", "--paste", "[Password][Enter]",
                       *more, given=b"s3cret\n").strip()

        bank = entry("Sign in", "bank password")
        labels = entry("Qt Sign in", "bank password")
        nowhere = entry("Sign in", "routing number")
        entry("Sign in", "routing number", "--monitor", "--repeat", "0")

        # The bus launcher may start with it on; a session where nothing asked for it yet has it off.
        wait_for(lambda: subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                         "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                                         "string:org.a11y.Bus"], capture_output=True, text=True).stdout.find("true") >= 0)
        switch_off_a11y()
        check(not a11y_enabled(), "the accessibility bus is switched off before the first look")
        qt_bank = start([LABEL_WINDOW, "Qt Sign in", "Enter your bank password"], "Qt Sign in", 1)
        qt_help = start([LABEL_WINDOW, "Qt Sign in", "Help"], "Qt Sign in", 2)
        check(wait_for(lambda: "Help" in texts("Qt Sign in")), "windows --texts lists the Qt window's label")
        check(a11y_enabled(), "looking at a window's texts switched the accessibility bus on")
        close(qt_bank, qt_help)
        wait_for(lambda: not visible("Qt Sign in"), 10)
        for front in (False, True):
            pair(lambda n: start([LABEL_WINDOW, "Qt Sign in", "Enter your bank password"], "Qt Sign in", n),
                 lambda n: start([LABEL_WINDOW, "Qt Sign in", "Help"], "Qt Sign in", n),
                 "Qt Sign in", front, labels, data, "Qt")

        def zenity(text):
            return lambda n: start(["zenity", "--entry", "--title", "Sign in", "--text", text], "Sign in", n)

        for front in (False, True):
            pair(zenity("Enter your bank password"), zenity("Help"), "Sign in", front, bank, data, "GTK")

        # 3. Neither shows the text.
        first = zenity("Enter your bank password")(1)
        second = zenity("Help")(2)
        shown = texts("Sign in")
        check("Help" in shown and "Enter your bank password" not in shown,
              "windows --texts lists what the front window shows: %s" % shown)
        r = run("--data", data, "send", nowhere, "--user", USER)
        check(r.returncode == 1 and "The associated window does not exist (Sign in)." in r.stderr.decode(),
              "a contents text found in neither window: the send reports %r" % r.stderr.decode().strip())
        r = run("--data", data, "monitor", "--user", USER, "--seconds", "2")
        check("typed" not in r.stdout.decode(), "the monitored entry waits: %r" % r.stdout.decode().strip())
        check(still_open(first) and still_open(second), "nothing was typed into either window")
        close(first, second)
        wait_for(lambda: not visible("Sign in"), 10)

        # 4. The program of the front window stops answering.
        answering = zenity("Enter your bank password")(1)
        stopped = zenity("Enter your bank password")(2)
        os.kill(stopped.pid, signal.SIGSTOP)
        began = time.monotonic()
        r = run("--data", data, "send", bank, "--user", USER)
        took = time.monotonic() - began
        check(r.returncode == 0, "the send passes the stopped window by (%s)" % r.stderr.decode().strip())
        check(typed(answering) == "s3cret", "the password arrives in the window that answers")
        # Without the limit the first call to the stopped program alone would wait 15 seconds.
        check(took < 5, "the stopped window held the send up %.1f seconds" % took)
        os.kill(stopped.pid, signal.SIGCONT)
        check(still_open(stopped), "the stopped window received nothing")
        close(answering, stopped)
    finally:
        for p in children:
            if p.poll() is None:
                try:
                    os.kill(p.pid, signal.SIGCONT)
                except ProcessLookupError:
                    pass
                p.kill()
                p.wait()
        launcher, session_bus = buses
        os.killpg(launcher.pid, signal.SIGTERM)
        launcher.wait(10)
        os.kill(session_bus, signal.SIGTERM)
        subprocess.run(["rm", "-rf", data])
    if failures:
        print("%d failed" % len(failures), flush=True)
        return 1
    print("all passed", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
