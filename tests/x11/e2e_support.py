"""What the end-to-end scripts share: their own session and accessibility buses, waiting, clicking a control
found over the bus, and ending the program and the buses again. (The older scripts still carry copies of
these; new ones import them.)"""
import os
import signal
import subprocess
import time

from e2e import click, start_buses  # noqa: F401 (the buses and the click are the same for every script)

# The program under test, for the list of its windows printed on a failure.
APP = []


def fail(why):
    if APP:
        try:
            print("windows: %s" % [(n.name, n.roleName) for n in APP[0].children], flush=True)
        except Exception:
            pass
    print("FAIL: " + why, flush=True)
    raise SystemExit(1)


def wait_for(what, probe, seconds=30):
    end = time.time() + seconds
    while time.time() < end:
        found = probe()
        if found:
            return found
        time.sleep(0.2)
    fail("no " + what + " after %d seconds" % seconds)


def stop(program, buses):
    program.terminate()
    try:
        program.wait(10)
    except subprocess.TimeoutExpired:
        program.kill()
    launcher, session_bus = buses
    os.killpg(launcher.pid, signal.SIGTERM)
    launcher.wait(10)
    os.kill(session_bus, signal.SIGTERM)


def showing(node):
    try:
        return node is not None and node.showing and node.size[0] > 0
    except Exception:
        return False


def find(root, name, role):
    return root.findChild(lambda n: n.name == name and n.roleName == role, retry=False, requireResult=False)


def find_menu(root, name):
    """A menu or one of its items, showing: Qt names both roles for the entries of a menu bar."""
    found = root.findChildren(lambda n: n.name == name and n.roleName in ("menu", "menu item"), recursive=True)
    return [n for n in found if showing(n)]


def find_window(app, name):
    """A window of the program by its title, showing: a dialog, or a message box (an alert)."""
    return [n for n in app.children if n.name == name and n.roleName in ("dialog", "alert") and showing(n)]


def cli(zendrel_cli, data, *args, given=b""):
    r = subprocess.run([zendrel_cli, "--data", data] + list(args), input=given, capture_output=True)
    if r.returncode != 0:
        fail("zendrel-cli %s: %s" % (" ".join(args), r.stderr.decode()))
    return r.stdout.decode()


def read(path):
    """A file's bytes, none while it is not there."""
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return b""


def program_on_bus(name):
    """The program's application on the accessibility bus, once it is there."""
    from dogtail.config import config
    config.checkForA11y = False  # the desktop's switch for it is not there; the program has it on
    config.searchCutoffCount = 10
    from dogtail import tree

    app = wait_for(name + " on the accessibility bus", lambda: [
        a for a in tree.root.applications() if a.name == name])[0]
    APP[:] = [app]
    return app


def run_then_clean_up(main, children):
    """Runs a script's main, then ends every child it started (last first) and the session bus it started;
    returns main's status."""
    try:
        return main()
    finally:
        for p in reversed(children):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
        if "DBUS_SESSION_BUS_PID" in os.environ:
            # The driver's own bus connection ends this process with SIGTERM when its bus goes away.
            signal.signal(signal.SIGTERM, signal.SIG_IGN)
            try:
                os.kill(int(os.environ["DBUS_SESSION_BUS_PID"]), signal.SIGTERM)
            except (OSError, ValueError):
                pass
