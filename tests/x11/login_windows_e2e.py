#!/usr/bin/python3
"""The login windows as a person meets them, on a real X server with a window manager (see with-x11.sh).

On a new data directory the first password list opens for "Default User" without "Select User" being
shown. A user with a password is added in "Users"; then the password list is opened again for him:
"Select User" and "Security Check" must appear inside the frame at a usable size (measured with
xwininfo), and each is photographed (import) into the given directory. The program is driven over the
accessibility bus (dogtail) with real mouse clicks and keys (xdotool).

  login_windows_e2e.py ZENDREL SCREENSHOT_DIR
"""
import os
import re
import subprocess
import sys
import tempfile
import time

from e2e import click, fail, start_buses, stop, wait_for

# Smaller than this, a login window is of no use: its list or field and its buttons do not show whole.
USABLE = (200, 90)


def window(title):
    """(id, x, y, width, height) of the client window with this title, or None."""
    r = subprocess.run(["xwininfo", "-name", title], capture_output=True, text=True)
    if r.returncode != 0:
        return None
    info = r.stdout

    def number(label):
        return int(re.search(label + r":\s+(-?\d+)", info).group(1))

    wid = re.search(r"Window id: (0x[0-9a-f]+)", info).group(1)
    if "IsViewable" not in info:
        return None
    return wid, number("Absolute upper-left X"), number("Absolute upper-left Y"), number("Width"), number("Height")


def type_into(node, text):
    click(node)
    subprocess.run(["xdotool", "type", "--delay", "20", text], check=True)


def check_inside_frame(title, shots):
    frame = window("Zendrel")
    dialog = wait_for('"%s" on the screen' % title, lambda: window(title))
    time.sleep(0.5)  # the window manager has placed it
    dialog = window(title)
    _, fx, fy, fw, fh = frame
    wid, x, y, w, h = dialog
    print("%s: %dx%d at %d,%d; frame %dx%d at %d,%d" % (title, w, h, x, y, fw, fh, fx, fy), flush=True)
    if w < USABLE[0] or h < USABLE[1]:
        fail('"%s" is too small to use: %dx%d' % (title, w, h))
    if x < fx or y < fy or x + w > fx + fw or y + h > fy + fh:
        fail('"%s" lies outside the frame\'s area' % title)
    name = title.lower().replace(" ", "-") + ".png"
    # With the window manager's frame, so that the title and the icon show.
    subprocess.run(["import", "-frame", "-window", wid, os.path.join(shots, name)], check=True)


def main():
    zendrel, shots = sys.argv[1], sys.argv[2]
    os.makedirs(shots, exist_ok=True)
    buses = start_buses()
    data = tempfile.mkdtemp(prefix="zendrel-e2e-")
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
        toolbar = frame.child(name="Commands", roleName="tool bar")
        wait_for("frame on the screen", lambda: window("Zendrel"))

        # The first list on a new directory: the default user, taken without "Select User".
        click(toolbar.child(name="Passwords", roleName="push button"))
        first = wait_for("list of the default user", lambda: frame.findChild(
            lambda n: n.name == "Passwords - Default User", retry=False, requireResult=False))
        if window("Select User"):
            fail('"Select User" was shown for the only user')
        click(first.child(name="Close", roleName="push button"))

        # A user with a password, added in "Users".
        click(toolbar.child(name="Users", roleName="push button"))
        users = wait_for("users window", lambda: frame.findChild(
            lambda n: n.name == "Users" and n.roleName != "push button" and n.roleName != "tree table",
            retry=False, requireResult=False))
        click(users.child(name="Insert", roleName="push button"))
        form = wait_for("user form", lambda: app.findChild(
            lambda n: n.name == "Update User Information" and n.roleName == "dialog", retry=False,
            requireResult=False))
        type_into(form.child(name="Name", roleName="text"), "Alice")
        type_into(form.child(name="Password", roleName="password text"), "s3cret")
        type_into(form.child(name="Confirm Password", roleName="password text"), "s3cret")
        click(form.child(name="OK", roleName="push button"))
        wait_for("user form to close", lambda: not window("Adding User"))
        click(users.child(name="Close", roleName="push button"))

        # His password list: the choice of user, then his password.
        click(toolbar.child(name="Passwords", roleName="push button"))
        check_inside_frame("Select User", shots)
        select = app.child(name="Select User", roleName="dialog")
        click(select.child(name="Alice", roleName="list item"))
        click(select.child(name="Select", roleName="push button"))
        check_inside_frame("Security Check", shots)
        check = app.child(name="Security Check", roleName="dialog")
        if not check.findChild(lambda n: n.roleName == "label" and n.name == "Alice", retry=False,
                               requireResult=False):
            fail('"Security Check" does not name Alice')
        type_into(check.child(name="Confirm Password", roleName="password text"), "s3cret")
        click(check.child(name="Ok", roleName="push button"))
        wait_for("Alice's list", lambda: frame.findChild(
            lambda n: n.name == "Passwords - Alice", retry=False, requireResult=False))
        print("PASS", flush=True)
    finally:
        stop(program, buses, data)


if __name__ == "__main__":
    main()
