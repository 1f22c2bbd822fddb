#!/usr/bin/python3
"""The options window as a person meets it, on a real X server with a window manager (see with-x11.sh).

An entry with an expiry date is stored with zendrel-cli; the program is started on that directory. In
"O&ptions" the date format "31 OCT 1959" is chosen on the "Reports" tab and "&Ok" pressed; the password list
opened afterwards shows the entry's "Expiry Date" in that form. Driven over the accessibility bus (dogtail)
with real mouse clicks (xdotool); the store is checked with zendrel-cli at the end.

  options_e2e.py ZENDREL ZENDREL_CLI
"""
import os
import subprocess
import sys
import tempfile
import time

from e2e import click, fail, start_buses, stop, wait_for


def find(root, name, role):
    return root.findChild(lambda n: n.name == name and n.roleName == role, retry=False, requireResult=False)


def showing(node):
    try:
        return node is not None and node.showing and node.size[0] > 0
    except Exception:
        return False


def cli(zendrel_cli, data, *args, given=b""):
    r = subprocess.run([zendrel_cli, "--data", data] + list(args), input=given, capture_output=True)
    if r.returncode != 0:
        fail("zendrel-cli %s: %s" % (" ".join(args), r.stderr.decode()))
    return r.stdout.decode()


def main():
    zendrel, zendrel_cli = sys.argv[1], sys.argv[2]
    buses = start_buses()
    data = tempfile.mkdtemp(prefix="zendrel-options-e2e-")
    cli(zendrel_cli, data, "init")
    cli(zendrel_cli, data, "entries", "add", "--user", "Default User", "--service", "Bank", "--name", "ann",
        "--expiry", "2031-10-07", given=b"pw\n")
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    program = subprocess.Popen([zendrel, "Data=" + data], env=env)
    try:
        from dogtail.config import config
        config.checkForA11y = False  # the desktop's switch for it is not there; the program has it on
        config.searchCutoffCount = 10
        from dogtail import tree

        app = wait_for("Zendrel on the accessibility bus", lambda: [
            a for a in tree.root.applications() if a.name == "Zendrel"])[0]
        frame = app.child(name="Zendrel", roleName="frame")
        wait_for("the frame on the screen", lambda: showing(frame))

        click(wait_for('"Options" in the menu bar', lambda: find(frame, "Options", "menu item")))
        options = wait_for('"Zendrel Options"', lambda: find(app, "Zendrel Options", "dialog"))
        click(wait_for('the "Reports" tab', lambda: find(options, "Reports", "page tab")))
        dates = wait_for('the "Date Format" list', lambda: [
            n for n in [find(options, "Date Format", "combo box")] if showing(n)])[0]
        click(dates)
        choice = wait_for('"31 OCT 1959" in the open list', lambda: [
            n for n in app.findChildren(lambda n: n.name == "31 OCT 1959" and n.roleName in ("list item", "menu item"),
                                        recursive=True) if showing(n)])[0]
        click(choice)
        time.sleep(0.5)
        click(find(options, "Ok", "push button"))
        wait_for("the options window to close", lambda: find(app, "Zendrel Options", "dialog") is None
                 or not showing(find(app, "Zendrel Options", "dialog")))

        toolbar = frame.child(name="Commands", roleName="tool bar")
        click(toolbar.child(name="Passwords", roleName="push button"))
        lst = wait_for("the password list", lambda: frame.findChild(
            lambda n: n.name == "Passwords - Default User", retry=False, requireResult=False))
        wait_for('the expiry date "7 OCT 2031" in the list', lambda: lst.findChild(
            lambda n: n.roleName == "table cell" and n.name == "7 OCT 2031", retry=False, requireResult=False))
        stored = cli(zendrel_cli, data, "settings", "get", "DateFormat").strip()
        if stored != "d8":
            fail('"DateFormat" holds %r, not "d8"' % stored)
        print("PASS", flush=True)
    finally:
        stop(program, buses, data)


if __name__ == "__main__":
    main()
