#!/usr/bin/python3
"""Export and import as a person does them, on a real X server with a window manager (see with-x11.sh).

Ann's entries are made with zendrel-cli. In the real zendrel, "&Export" (File menu) asks for the user, all
20 fields are added with the header and the file is named in the save dialog; then "&Import" takes that
file for Bob with "A&uto". zendrel-cli then lists the same entries for both. The program is driven over the
accessibility bus (dogtail) with real mouse clicks and keys (xdotool).

  transfer_end_to_end.py ZENDREL ZENDREL_CLI
"""
import os
import signal
import subprocess
import sys
import tempfile
import time


# The bus start-up, waiting and clicking of the login windows' run.
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from login_windows_e2e import click, fail, start_buses, wait_for  # noqa: E402


def keys(*names):
    subprocess.run(["xdotool", "key", "--delay", "60"] + list(names), check=True)
    time.sleep(0.3)


def typed(text):
    subprocess.run(["xdotool", "type", "--delay", "20", text], check=True)


def cli(zendrel_cli, data, *args, given=b"\n"):
    r = subprocess.run([zendrel_cli, "--data", data] + list(args), input=given, capture_output=True)
    if r.returncode != 0:
        fail("zendrel-cli %s: %s" % (" ".join(args), r.stderr.decode()))
    return r.stdout.decode()


def find(parent, predicate, what):
    return wait_for(what, lambda: parent.findChild(predicate, retry=False, requireResult=False))


def dialog(app, title):
    return find(app, lambda n: n.name == title and n.roleName == "dialog", '"%s"' % title)


def menu_command(frame, app, name):
    click(find(frame, lambda n: n.name == "File" and n.roleName in ("menu", "menu item"), "the File menu"))
    click(find(app, lambda n: n.name == name and n.roleName == "menu item" and n.showing, name + " in the menu"))


def choose_user(app, name):
    select = dialog(app, "Select User")
    click(select.child(name=name, roleName="list item"))
    click(select.child(name="Select", roleName="push button"))


def name_file(app, title, path):
    files = dialog(app, title)
    field = find(files, lambda n: n.roleName == "text" and n.showing and "name" in (n.name or "").lower(),
                 "file name field")
    click(field)
    keys("ctrl+a")
    typed(path)
    keys("Return")


def main():
    zendrel, zendrel_cli = sys.argv[1], sys.argv[2]
    launcher, session_bus = start_buses()
    data = tempfile.mkdtemp(prefix="zendrel-e2e-")
    exported = os.path.join(tempfile.mkdtemp(prefix="zendrel-csv-"), "ann.csv")
    cli(zendrel_cli, data, "init")
    for user in ("Ann", "Bob"):
        cli(zendrel_cli, data, "users", "add", user)
    cli(zendrel_cli, data, "entries", "add", "--user", "Ann", "--service", "Mail, work", "--name", "ann",
        "--url", "https://mail.example", "--notes", "two\nlines", given=b"p\"w\n")
    cli(zendrel_cli, data, "entries", "add", "--user", "Ann", "--service", "Bank", "--name", "a.n.",
        "--expiry", "2030-01-31", given=b"secret\n")
    cli(zendrel_cli, data, "entries", "add", "--user", "Ann", "--service", "Caf\u00e9", "--name", "\u00e4nn",
        given=b"x\n")

    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", QT_QPA_PLATFORM="xcb")
    program = subprocess.Popen([zendrel, "Data=" + data], env=env)
    try:
        from dogtail.config import config
        config.checkForA11y = False
        config.searchCutoffCount = 10
        from dogtail import tree

        app = wait_for("Zendrel on the accessibility bus", lambda: [
            a for a in tree.root.applications() if a.name == "Zendrel"])[0]
        frame = app.child(name="Zendrel", roleName="frame")
        time.sleep(1)

        # Export: the window, then the user, then every field with the header.
        menu_command(frame, app, "Export")
        choose_user(app, "Ann")
        export = dialog(app, "Choose Fields for Export...")
        click(export.child(name="All Fields", roleName="list"))
        keys("ctrl+a")
        click(export.child(name="Add ->", roleName="push button"))
        click(export.child(name="Include header record with field names", roleName="check box"))
        click(export.child(name="OK", roleName="push button"))
        name_file(app, "Export Comma-Separated Value File", exported)
        wait_for("the export file", lambda: os.path.exists(exported) and os.path.getsize(exported) > 0)
        wait_for("the export to end", lambda: not app.findChild(
            lambda n: n.name in ("Exporting Records", "Choose Fields for Export...") and n.showing,
            retry=False, requireResult=False))
        with open(exported, "rb") as f:
            header = f.readline()
        if not header.startswith(b'"P_:Notes","P_:MoreNotes","P_:Service"'):
            fail("the export has no header: %r" % header[:80])

        # Import for Bob: the user and the file first, then the columns by their names.
        menu_command(frame, app, "Import")
        choose_user(app, "Bob")
        name_file(app, "Import Comma-Separated Value File", exported)
        assign = dialog(app, "Assign fields for Import...")
        click(assign.child(name="Auto", roleName="push button"))
        strip = assign.child(name="Strip header record (field names)", roleName="check box")
        if not strip.checked:
            fail('"Strip header record (field names)" is not checked after Auto')
        click(assign.child(name="OK", roleName="push button"))
        wait_for("the import to end", lambda: not app.findChild(
            lambda n: n.name in ("Importing Records", "Assign fields for Import...") and n.showing,
            retry=False, requireResult=False))
    finally:
        program.terminate()
        try:
            program.wait(10)
        except subprocess.TimeoutExpired:
            program.kill()
        os.killpg(launcher.pid, signal.SIGTERM)
        launcher.wait(10)
        os.kill(session_bus, signal.SIGTERM)

    def listed(user):
        return [line.split("\t", 1)[1] for line in cli(zendrel_cli, data, "entries", "list", "--user", user).splitlines()]

    ann, bob = listed("Ann"), listed("Bob")
    print("Ann:", ann, "\nBob:", bob, flush=True)
    subprocess.run(["rm", "-rf", data, os.path.dirname(exported)])
    if len(ann) != 3 or ann != bob:
        fail("Bob's entries differ from Ann's")
    print("PASS", flush=True)


if __name__ == "__main__":
    main()
