"""What the end-to-end scripts under the headless sway share: checks that are counted rather than ending the
script, foot windows running cat into a file, the clipboard as wl-paste sees it, sway's focus, and controls
found and pressed over the accessibility bus (there is no X server to click with)."""
import json
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "x11"))
from e2e import start_buses  # noqa: E402
from e2e_support import read, run_then_clean_up  # noqa: E402,F401

failures, passed, children = [], [], []


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what, flush=True)
    (passed if condition else failures).append(what)


def outcome():
    """The script's exit status, after a line with the counts."""
    print("%d passed, %d failed" % (len(passed), len(failures)))
    return 1 if failures else 0


def begin(zendrel_cli):
    """A session bus with the accessibility bus, the programs told to use it, and a new data directory that
    zendrel-cli made; returns the accessibility module, a working directory and the data directory in it."""
    buses = start_buses()
    children.append(buses[0])
    os.environ["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    import pyatspi

    work = tempfile.mkdtemp()
    data = os.path.join(work, "data")
    os.mkdir(data)
    cli(zendrel_cli, data, "init")
    return pyatspi, work, data


def wait_for(predicate, seconds=15):
    end = time.time() + seconds
    while time.time() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    return predicate()


def cli(zendrel_cli, data, *args, given=b""):
    subprocess.run([zendrel_cli, "--data", data, *args], input=given, check=True, stdout=subprocess.DEVNULL)


def windows(zendrel_cli):
    """The titles zendrel-cli lists, the most recently activated first."""
    out = subprocess.run([zendrel_cli, "windows"], capture_output=True, text=True).stdout
    return [line.split("\t", 1)[1] for line in out.splitlines()[1:] if "\t" in line]


def foot(zendrel_cli, title, path):
    """A foot terminal whose input goes to path, once zendrel-cli lists it."""
    children.append(subprocess.Popen(["foot", "--title", title, "sh", "-c", "stty -echo; exec cat > '%s'" % path],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    wait_for(lambda: title in windows(zendrel_cli), 10)
    time.sleep(0.5)


def paste(*args):
    """What another client pastes (wl-paste), None when the clipboard holds nothing."""
    r = subprocess.run(["wl-paste", "--no-newline", *args], capture_output=True, timeout=10)
    return r.stdout if r.returncode == 0 else None


def focus(criteria):
    subprocess.run(["swaymsg", criteria + " focus"], stdout=subprocess.DEVNULL, check=True)


def focused_title():
    """The title of the window that has sway's focus."""
    tree = json.loads(subprocess.run(["swaymsg", "-t", "get_tree"], capture_output=True, text=True).stdout)
    stack = [tree]
    while stack:
        node = stack.pop()
        if node.get("focused") and node.get("type") == "con":
            return node.get("name")
        stack.extend(node.get("nodes", []) + node.get("floating_nodes", []))
    return None


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


def choose(app, name):
    """Selects the row of a list whose cell shows name, through the table's accessible interface."""
    cell = wait_for(lambda: find(app, name, "table cell"), 10)
    if cell is None:
        return False
    try:
        table = cell.parent.queryTable()
        return table.addRowSelection(table.getRowAtIndex(cell.getIndexInParent()))
    except Exception as e:
        print("choosing %s: %s" % (name, e), flush=True)
        return False
