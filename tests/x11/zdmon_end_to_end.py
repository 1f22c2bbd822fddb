#!/usr/bin/python3
"""The monitor program as a person meets it, on the X server that with-x11.sh started: a notification area
(trayer), the accessibility bus, xterms to type into.

  zdmon_end_to_end.py ZENDREL_CLI ZDMON

1. Its icon sits in the notification area, its window stays unmapped, and a watched login window that opens
   gets the account name, a tab, the password and Enter, once.
2. A click on the icon brings the window; the entry and "Name" chosen and "Send" pressed type the account
   name alone into the entry's window.
3. Without a notification area the window stays on the screen.
4. On tables the main program never prepared it says so and ends.
"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
from e2e_support import run_then_clean_up

CLI, ZDMON = sys.argv[1], sys.argv[2]
REFUSAL = "You must run the main Zendrel program before you can use the Zendrel Monitor."
failures = []
passed = []
children = []


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what, flush=True)
    (passed if condition else failures).append(what)


def wait_for(predicate, seconds=15):
    end = time.time() + seconds
    while time.time() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    return predicate()


def start(args, **kw):
    p = subprocess.Popen(args, **kw)
    children.append(p)
    return p


def cli(data, *args, given=b""):
    subprocess.run([CLI, "--data", data, *args], input=given, check=True, stdout=subprocess.DEVNULL)


def out(*args):
    return subprocess.run(args, capture_output=True, text=True).stdout


def windows_named(name):
    """Mapped windows of that exact name, with their width."""
    found = []
    for wid in out("xdotool", "search", "--onlyvisible", "--name", "^%s$" % re.escape(name)).split():
        info = out("xwininfo", "-id", wid)
        width = re.search(r"Width: (\d+)", info)
        if "IsViewable" in info and width:
            found.append((wid, int(width.group(1))))
    return found


def main_window_shown():
    return any(width > 100 for _, width in windows_named("Zendrel Monitor"))


def icon_in_tray():
    """The icon's window among the children of trayer's panel."""
    panels = re.findall(r"(0x[0-9a-f]+) \"panel\"", out("xwininfo", "-root", "-tree"))
    for panel in panels:
        m = re.search(r"(0x[0-9a-f]+) \"Zendrel Monitor\"", out("xwininfo", "-tree", "-id", panel))
        if m:
            return m.group(1)
    return None


def xterm(title, path):
    start(["xterm", "-T", title, "-e", "sh", "-c", "stty -echo -icanon min 1; exec cat > '%s'" % path])
    wait_for(lambda: windows_named(title), 10)
    time.sleep(0.5)


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return b""


def accessibility_bus():
    env = dict(line.split("=", 1) for line in out("dbus-launch", "--sh-syntax").replace(";", "\n").splitlines()
               if "=" in line and not line.startswith("export"))
    for key, value in env.items():
        os.environ[key] = value.strip().strip("'")
    start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    time.sleep(1)
    os.environ["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    # Lets the driver talk to the bus without a desktop setting that says accessibility is on.
    os.environ["GTK_MODULES"] = "gail:atk-bridge"


def zdmon(data):
    return start([ZDMON, "Data=" + data], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    accessibility_bus()
    from dogtail import tree
    from dogtail.config import config
    config.searchCutoffCount = 20
    config.defaultDelay = 0.3
    work = tempfile.mkdtemp()

    # 1. In the notification area, typing a watched login.
    data = os.path.join(work, "data")
    os.mkdir(data)
    cli(data, "init")
    cli(data, "entries", "add", "--user", "Default User", "--service", "Bank", "--name", "alice", "--title",
        "Zdmon Login*", "--monitor", "--repeat", "0", "--wait", "0", "--paste", "[Name][Tab][Password][Enter]",
        given=b"s3cret\n")
    cli(data, "entries", "add", "--user", "Default User", "--service", "Other", "--name", "other-name", "--title",
        "Zdmon Other", "--wait", "0", given=b"x\n")
    trayer = start(["trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120",
                    "--height", "24"])
    wait_for(lambda: "\"panel\"" in out("xwininfo", "-root", "-tree"), 10)
    program = zdmon(data)
    icon = wait_for(icon_in_tray, 15)
    check(icon is not None, "the icon is embedded in the notification area")
    check(not main_window_shown(), "\"Zendrel Monitor\" is not mapped")
    typed = os.path.join(work, "login")
    xterm("Zdmon Login", typed)
    check(wait_for(lambda: read(typed) == b"alice\ts3cret\n", 15), "the watched window got name, tab, password, Enter")
    time.sleep(2)
    check(read(typed) == b"alice\ts3cret\n", "it was typed once: %r" % read(typed))

    # 2. The icon clicked, one field sent by hand.
    other = os.path.join(work, "other")
    xterm("Zdmon Other", other)
    if icon:
        geometry = out("xwininfo", "-id", icon)
        x = int(re.search(r"Absolute upper-left X:\s+(-?\d+)", geometry).group(1))
        y = int(re.search(r"Absolute upper-left Y:\s+(-?\d+)", geometry).group(1))
        subprocess.run(["xdotool", "mousemove", str(x + 5), str(y + 5), "click", "1"])
    check(wait_for(main_window_shown, 10), "a click on the icon maps the window")
    if main_window_shown():
        app = tree.root.application("Zendrel Monitor")
        app.child(name="Other", roleName="table cell").click()
        app.child(roleName="combo box").click()
        app.child(name="Name", roleName="list item").click()
        app.child(name="Send", roleName="push button").doActionNamed("Press")
        check(wait_for(lambda: read(other) == b"other-name", 15), "Send with Name typed the name alone: %r" % read(other))
        check(not main_window_shown(), "the window went back to the notification area for the send")
    # The notification area goes away while the window is hidden: the window comes back.
    trayer.terminate()
    trayer.wait()
    check(wait_for(main_window_shown, 10), "the window comes back when the notification area goes")
    program.send_signal(signal.SIGTERM)
    check(program.wait(10) == 0, "SIGTERM ends it in order")

    # 2b. Entries received while zdmon holds the directory: a watched one is typed after Refresh.
    exchange = os.path.join(work, "home.syn")
    cli(data, "sync", "send", "--user", "Default User", "--file", exchange, given=b"\n")
    second = os.path.join(work, "second")
    os.mkdir(second)
    cli(second, "init")
    trayer = start(["trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120",
                    "--height", "24"])
    wait_for(lambda: "\"panel\"" in out("xwininfo", "-root", "-tree"), 10)
    program = zdmon(second)
    icon = wait_for(icon_in_tray, 15)
    cli(second, "sync", "receive", "--user", "Default User", "--file", exchange, given=b"\n")
    if icon:
        geometry = out("xwininfo", "-id", icon)
        x = int(re.search(r"Absolute upper-left X:\s+(-?\d+)", geometry).group(1))
        y = int(re.search(r"Absolute upper-left Y:\s+(-?\d+)", geometry).group(1))
        subprocess.run(["xdotool", "mousemove", str(x + 5), str(y + 5), "click", "1"])
    if wait_for(main_window_shown, 10):
        app = tree.root.application("Zendrel Monitor")
        app.child(name="Tools", roleName="push button").click()
        time.sleep(0.5)
        subprocess.run(["xdotool", "key", "r"])  # "&Refresh" in the popup of the shown window
    typed = os.path.join(work, "login2")
    xterm("Zdmon Login", typed)
    check(wait_for(lambda: read(typed) == b"alice\ts3cret\n", 15),
          "a watched entry received while zdmon ran is typed after Refresh: %r" % read(typed))
    program.send_signal(signal.SIGTERM)
    program.wait(10)
    trayer.terminate()
    trayer.wait()

    # 3. No notification area: the window stays.
    wait_for(lambda: "\"panel\"" not in out("xwininfo", "-root", "-tree"), 5)
    lonely = os.path.join(work, "lonely")
    os.mkdir(lonely)
    cli(lonely, "init")
    program = zdmon(lonely)
    check(wait_for(main_window_shown, 15), "without a notification area the window stays visible")
    program.send_signal(signal.SIGTERM)
    program.wait(10)

    # 4. Tables the main program never prepared.
    fresh = os.path.join(work, "fresh")
    os.mkdir(fresh)
    program = zdmon(fresh)
    shown = wait_for(lambda: [n for a in tree.root.applications() if a.name == "Zendrel Monitor"
                              for n in a.findChildren(lambda n: n.name == REFUSAL, showingOnly=False)], 15)
    check(bool(shown), "the refusal is shown")
    if shown:
        box = shown[0]
        while box.parent is not None and box.roleName not in ("dialog", "alert"):
            box = box.parent
        box.child(roleName="push button").doActionNamed("Press")
    rc = program.wait(10)
    check(rc != 0, "the program ends with a failure status (%s)" % rc)

    print("%d passed, %d failed" % (len(passed), len(failures)))
    return 1 if failures else 0


sys.exit(run_then_clean_up(main, children))
