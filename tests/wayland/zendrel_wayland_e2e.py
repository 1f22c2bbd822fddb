#!/usr/bin/python3
"""The main program as a native Wayland client (QT_QPA_PLATFORM=wayland) under the headless sway that
with-sway.sh started, driven over the accessibility bus as a person would press its buttons:

  zendrel_wayland_e2e.py ZENDREL_CLI ZENDREL

1. The password list opened, an entry chosen and "Send" pressed: the foot window its title names gets the
   account name, a tab, the password and Enter.
2. The user was in another foot window, then came to Zendrel: an entry whose title is blank or "~" goes to
   that window, although sway cannot minimise Zendrel's frame out of the way, and to no other.
3. "Copy Password": another client (wl-paste) reads the password and the hint that keeps clipboard managers
   from storing it; the clipboard is emptied after the set seconds while a foot window has the focus.
"""
import os
import subprocess
import sys
import time

from wayland_e2e import (application, begin, check, children, choose, cli, find, focus, focused_title, foot, outcome,
                         paste, press, read, run_then_clean_up, wait_for, windows)

CLI, ZENDREL = sys.argv[1], sys.argv[2]


def messages(app):
    """Texts of the message boxes the program shows."""
    shown = []
    for i in range(app.childCount):
        w = app.getChildAtIndex(i)
        try:
            if w.getRoleName() == "alert":
                shown.append(w.name + ": " + " ".join(
                    w.getChildAtIndex(j).name for j in range(w.childCount) if w.getChildAtIndex(j).name))
        except Exception:
            pass
    return shown


def main():
    pyatspi, work, data = begin(CLI)
    cli(CLI, data, "settings", "set", "ZD_CI", "3")
    paste_text = "[Name][Tab][Password][Enter]"
    cli(CLI, data, "entries", "add", "--user", "Default User", "--service", "Bank", "--name", "alice", "--title",
        "Wayland Bank*", "--wait", "0", "--paste", paste_text, given="s3cr\u00e9t\n".encode())
    cli(CLI, data, "entries", "add", "--user", "Default User", "--service", "Focused", "--name", "carol",
        "--title", "~", "--wait", "0", "--paste", paste_text, given=b"f0cus\n")
    cli(CLI, data, "entries", "add", "--user", "Default User", "--service", "Untitled", "--name", "dave",
        "--wait", "0", "--paste", paste_text, given=b"bl4nk\n")

    bank = os.path.join(work, "bank")
    before = os.path.join(work, "before")
    foot(CLI, "Wayland Bank Login", bank)
    foot(CLI, "Where I Was", before)
    env = dict(os.environ, QT_QPA_PLATFORM="wayland")
    program = subprocess.Popen([ZENDREL, "Data=" + data], env=env, stdout=subprocess.DEVNULL)
    children.append(program)
    check(wait_for(lambda: "Zendrel" in windows(CLI), 20), "zendrel's frame is a native Wayland window")
    app = wait_for(lambda: application(pyatspi, "Zendrel"), 20)
    check(app is not None, "zendrel is on the accessibility bus")
    if app is None:
        return 1
    toolbar_button = wait_for(lambda: find(app, "Passwords", "push button"), 10)
    check(toolbar_button is not None, "the frame's Passwords button is found")
    press(toolbar_button)
    check(wait_for(lambda: find(app, "Bank", "table cell"), 15) is not None, "the password list shows the entries")
    send = find(app, "Send", "push button")
    check(send is not None, "the list's Send button is found")

    # 1. A titled window.
    check(choose(app, "Bank"), "the Bank entry is chosen")
    press(send)
    check(wait_for(lambda: read(bank) == "alice\ts3cr\u00e9t\n".encode(), 15),
          "Send typed name, tab, password, Enter into the titled window: %r" % read(bank))

    # 2. The focused window, from Zendrel's own frame: the window the user was in before gets it.
    for service, text in (("Focused", b"carol\tf0cus\n"), ("Untitled", b"dave\tbl4nk\n")):
        focus('[title="^Where I Was$"]')
        focus('[title="^Zendrel"]')
        check(wait_for(lambda: (focused_title() or "").startswith("Zendrel"), 5),
              "Zendrel has the focus before %s is sent" % service)
        check(choose(app, service), "the %s entry is chosen" % service)
        typed = read(before)
        press(send)
        check(wait_for(lambda: read(before) == typed + text, 15),
              "Send of %s typed into the window the user was in before: %r" % (service, read(before)))
        check(not messages(app), "and nothing was refused: %r" % messages(app))
    time.sleep(0.5)
    check(read(bank) == "alice\ts3cr\u00e9t\n".encode(), "the titled window got nothing more: %r" % read(bank))

    # 3. The clipboard.
    check(choose(app, "Bank"), "the Bank entry is chosen again")
    copy = find(app, "Copy Password", "push button")
    check(copy is not None, "the Copy Password button is found")
    if copy is not None:
        press(copy)
        check(wait_for(lambda: paste() == "s3cr\u00e9t".encode(), 5),
              "another client pastes the password: %r" % paste())
        types = (paste("--list-types") or b"").decode().split("\n")
        check("x-kde-passwordManagerHint" in types, "the copy offers the password-manager hint: %r" % types)
        check(paste("--type", "x-kde-passwordManagerHint") == b"secret", "the hint says secret")
        focus('[title="^Where I Was$"]')
        check(wait_for(lambda: focused_title() == "Where I Was", 5), "a foot window has the focus")
        check(wait_for(lambda: paste() == b"", 10), "the clipboard is emptied after its seconds: %r" % paste())
        check(focused_title() == "Where I Was", "while the foot window kept the focus")

    program.terminate()
    check(program.wait(10) is not None, "SIGTERM ends it")
    return outcome()


sys.exit(run_then_clean_up(main, children))
