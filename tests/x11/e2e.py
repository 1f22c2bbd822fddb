"""What the end-to-end drivers on the accessibility bus share: failing with a reason, waiting for a
condition, the session and accessibility buses, and a real mouse click on a control."""
import os
import re
import signal
import subprocess
import time


def fail(why):
    print("FAIL: " + why, flush=True)
    raise SystemExit(1)


def wait_for(what, probe, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        found = probe()
        if found:
            return found
        time.sleep(0.2)
    fail("no " + what + " after %d seconds" % seconds)


def start_buses():
    """A session bus of our own and the accessibility bus on it; returns what to stop at the end."""
    out = subprocess.run(["dbus-launch", "--sh-syntax"], capture_output=True, text=True, check=True).stdout
    for line in out.splitlines():
        m = re.match(r"(DBUS_SESSION_BUS_\w+)='?([^';]*)'?;", line)
        if m:
            os.environ[m.group(1)] = m.group(2)
    # In a process group of its own, with the bus and the registry it starts, so that all go together.
    launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                start_new_session=True)
    return launcher, int(os.environ["DBUS_SESSION_BUS_PID"])


def click(node):
    x, y = node.position
    w, h = node.size
    subprocess.run(["xdotool", "mousemove", "--sync", str(x + w // 2), str(y + h // 2), "click", "1"], check=True)
    time.sleep(0.3)


def stop(program, buses, data):
    """Ends the program, the buses start_buses() started, and removes the data directory."""
    program.terminate()
    try:
        program.wait(10)
    except subprocess.TimeoutExpired:
        program.kill()
    launcher, session_bus = buses
    os.killpg(launcher.pid, signal.SIGTERM)
    launcher.wait(10)
    os.kill(session_bus, signal.SIGTERM)
    subprocess.run(["rm", "-rf", data])
