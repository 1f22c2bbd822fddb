#!/usr/bin/python3
"""The monitor program as a Wayland client (QT_QPA_PLATFORM=wayland) under the headless sway that
with-sway.sh started, driven over the accessibility bus as a person would press its buttons:

  zdmon_wayland_e2e.py ZENDREL_CLI ZDMON

1. With no notification area its window stays; a watched login window (foot) that opens gets the account
   name, a tab, the password and Enter, once.
2. The entry chosen in the list and "Send" pressed: its window gets name, Tab, password, Enter.
3. "Password" chosen and "Clipboard" pressed: another client (wl-paste) pastes the password, with the hint.
4. A watched entry that asks for a window showing "bank password": a zenity dialog of its title that shows
   something else gets nothing; one that shows it gets the password, read over the accessibility bus.
"""
import os
import subprocess
import sys
import time

from wayland_e2e import (application, begin, check, children, choose, cli, find, focus, foot, outcome, paste, press,
                         read, run_then_clean_up, wait_for, windows)

CLI, ZDMON = sys.argv[1], sys.argv[2]


def main():
    pyatspi, work, data = begin(CLI)
    cli(CLI, data, "entries", "add", "--user", "Default User", "--service", "Bank", "--name", "alice", "--title",
        "Wayland Bank*", "--wait", "0", "--paste", "[Name][Tab][Password][Enter]", given=b"s3cr\xc3\xa9t\n")
    cli(CLI, data, "entries", "add", "--user", "Default User", "--service", "Watched", "--name", "bob", "--title",
        "Wayland Watch", "--monitor", "--repeat", "0", "--wait", "0", "--paste", "[Name][Tab][Password][Enter]",
        given=b"w4tch\n")
    cli(CLI, data, "entries", "add", "--user", "Default User", "--service", "Confirmed", "--url", "https://bank.example",
        "--name", "carol", "--title", "Wayland Sign in", "--contents", "bank password", "--monitor", "--repeat", "0",
        "--wait", "0", "--paste", "[Password][Enter]", given=b"c0nf1rmed\n")
    env = dict(os.environ, QT_QPA_PLATFORM="wayland")
    program = subprocess.Popen([ZDMON, "Data=" + data], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    children.append(program)
    check(wait_for(lambda: "Zendrel Monitor" in windows(CLI), 20), "zdmon's window is a native Wayland window")

    # 1. A watched window appears.
    watched = os.path.join(work, "watched")
    foot(CLI, "Wayland Watch", watched)
    check(wait_for(lambda: read(watched) == b"bob\tw4tch\n", 15), "the watched window got name, tab, password, Enter")
    time.sleep(2)
    check(read(watched) == b"bob\tw4tch\n", "it was typed once: %r" % read(watched))

    # 2. Send pressed on the chosen entry.
    bank = os.path.join(work, "bank")
    foot(CLI, "Wayland Bank Login", bank)
    app = wait_for(lambda: application(pyatspi, "Zendrel Monitor"), 20)
    check(app is not None, "zdmon is on the accessibility bus")
    if app is not None:
        check(choose(app, "Bank"), "the Bank entry is chosen")
        send = find(app, "Send", "push button")
        check(send is not None, "the Send button is found")
        if send is not None:
            press(send)
            check(wait_for(lambda: read(bank) == "alice\ts3cr\u00e9t\n".encode(), 15),
                  "Send typed name, tab, password, Enter: %r" % read(bank))
        # 3. "Password" chosen (the list opened over the bus, the keys typed by wtype) and "Clipboard" pressed:
        # another client pastes the password, offered with the hint for clipboard managers.
        choice = find(app, "Preset", "combo box")
        clipboard = find(app, "Clipboard", "push button")
        check(choice is not None and clipboard is not None, "the send choice and the Clipboard button are found")
        if choice is not None and clipboard is not None:
            focus('[title="^Zendrel Monitor$"]')
            choice.queryAction().doAction(0)
            time.sleep(0.7)
            subprocess.run(["wtype", "-k", "Down", "-k", "Return"], check=True)
            check(wait_for(lambda: choice.name == "Password", 5), "Password is the send choice: %r" % choice.name)
            press(clipboard)
            check(wait_for(lambda: paste() == "s3cr\u00e9t".encode(), 5), "another client pastes it: %r" % paste())
            types = (paste("--list-types") or b"").decode().split("\n")
            check("x-kde-passwordManagerHint" in types, "with the password-manager hint: %r" % types)

    # 4. The contents rule, read over the bus from a GTK window.
    def zenity(text):
        p = subprocess.Popen(["zenity", "--entry", "--title", "Wayland Sign in", "--text", text],
                             env=dict(os.environ, GDK_BACKEND="wayland"), stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL)
        children.append(p)
        wait_for(lambda: "Wayland Sign in" in windows(CLI), 10)
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
    wait_for(lambda: "Wayland Sign in" not in windows(CLI), 10)
    shows = zenity("Enter your bank password")
    check(typed(shows, 15) == b"c0nf1rmed\n", "the window that shows the text gets the password")

    program.terminate()
    check(program.wait(10) == 0, "SIGTERM ends it in order")
    return outcome()


sys.exit(run_then_clean_up(main, children))
