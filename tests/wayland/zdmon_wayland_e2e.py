#!/usr/bin/python3
"""The monitor program as a Wayland client (QT_QPA_PLATFORM=wayland) under the headless sway that
with-sway.sh started, driven over the accessibility bus as a person would press its buttons:

  zdmon_wayland_e2e.py ZENDREL_CLI ZDMON

1. With no notification area its window stays; a watched login window (foot) that opens gets the account
   name, a tab, the password and Enter, once.
2. The entry chosen in the list and "Send" pressed: its window gets name, Tab, password, Enter.
3. A watched entry that asks for a window showing "bank password": a zenity dialog of its title that shows
   something else gets nothing; one that shows it gets the password, read over the accessibility bus.
"""
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "x11"))
from e2e import start_buses  # noqa: E402
from e2e_support import run_then_clean_up  # noqa: E402

CLI, ZDMON = sys.argv[1], sys.argv[2]
failures, passed, children = [], [], []


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


def cli(data, *args, given=b""):
    subprocess.run([CLI, "--data", data, *args], input=given, check=True, stdout=subprocess.DEVNULL)


def listed(title):
    out = subprocess.run([CLI, "windows"], capture_output=True, text=True).stdout
    return title in [line.split("\t", 1)[1] for line in out.splitlines()[1:] if "\t" in line]


def foot(title, path):
    children.append(subprocess.Popen(["foot", "--title", title, "sh", "-c", "stty -echo; exec cat > '%s'" % path],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    wait_for(lambda: listed(title), 10)
    time.sleep(0.5)


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return b""


def find(node, name, role):
    """The first accessible below node with that name and role, depth first."""
    try:
        if node.name == name and node.getRoleName() == role:
            return node
        for i in range(node.childCount):
            found = find(node.getChildAtIndex(i), name, role)
            if found is not None:
                return found
    except Exception:
        pass
    return None


def application(pyatspi, name):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == name:
            return app
    return None


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) == "Press":
            return action.doAction(i)
    return action.doAction(0)


def main():
    buses = start_buses()
    children.append(buses[0])
    os.environ["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    import pyatspi

    work = tempfile.mkdtemp()
    data = os.path.join(work, "data")
    os.mkdir(data)
    cli(data, "init")
    cli(data, "entries", "add", "--user", "Default User", "--service", "Bank", "--name", "alice", "--title",
        "Wayland Bank*", "--wait", "0", "--paste", "[Name][Tab][Password][Enter]", given=b"s3cr\xc3\xa9t\n")
    cli(data, "entries", "add", "--user", "Default User", "--service", "Watched", "--name", "bob", "--title",
        "Wayland Watch", "--monitor", "--repeat", "0", "--wait", "0", "--paste", "[Name][Tab][Password][Enter]",
        given=b"w4tch\n")
    cli(data, "entries", "add", "--user", "Default User", "--service", "Confirmed", "--url", "https://bank.example",
        "--name", "carol", "--title", "Wayland Sign in", "--contents", "bank password", "--monitor", "--repeat", "0",
        "--wait", "0", "--paste", "[Password][Enter]", given=b"c0nf1rmed\n")
    env = dict(os.environ, QT_QPA_PLATFORM="wayland")
    program = subprocess.Popen([ZDMON, "Data=" + data], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    children.append(program)
    check(wait_for(lambda: listed("Zendrel Monitor"), 20), "zdmon's window is a native Wayland window")

    # 1. A watched window appears.
    watched = os.path.join(work, "watched")
    foot("Wayland Watch", watched)
    check(wait_for(lambda: read(watched) == b"bob\tw4tch\n", 15), "the watched window got name, tab, password, Enter")
    time.sleep(2)
    check(read(watched) == b"bob\tw4tch\n", "it was typed once: %r" % read(watched))

    # 2. Send pressed on the chosen entry.
    bank = os.path.join(work, "bank")
    foot("Wayland Bank Login", bank)
    app = wait_for(lambda: application(pyatspi, "Zendrel Monitor"), 20)
    check(app is not None, "zdmon is on the accessibility bus")
    if app is not None:
        cell = wait_for(lambda: find(app, "Bank", "table cell"), 10)
        if cell is not None:
            try:
                cell.parent.querySelection().selectChild(cell.getIndexInParent())
            except Exception:
                pass
        send = find(app, "Send", "push button")
        check(send is not None, "the Send button is found")
        if send is not None:
            press(send)
            check(wait_for(lambda: read(bank) == "alice\ts3cr\u00e9t\n".encode(), 15),
                  "Send typed name, tab, password, Enter: %r" % read(bank))

    # 3. The contents rule, read over the bus from a GTK window.
    def zenity(text):
        p = subprocess.Popen(["zenity", "--entry", "--title", "Wayland Sign in", "--text", text],
                             env=dict(os.environ, GDK_BACKEND="wayland"), stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL)
        children.append(p)
        wait_for(lambda: listed("Wayland Sign in"), 10)
        return p

    def typed(p, seconds):
        try:
            return p.communicate(timeout=seconds)[0]
        except subprocess.TimeoutExpired:
            return None

    other = zenity("Help")
    check(typed(other, 4) is None, "a window of the title that does not show the text gets nothing")
    other.kill()
    other.wait()
    wait_for(lambda: not listed("Wayland Sign in"), 10)
    shows = zenity("Enter your bank password")
    check(typed(shows, 15) == b"c0nf1rmed\n", "the window that shows the text gets the password")

    program.terminate()
    check(program.wait(10) == 0, "SIGTERM ends it in order")
    print("%d passed, %d failed" % (len(passed), len(failures)))
    return 1 if failures else 0


sys.exit(run_then_clean_up(main, children))
