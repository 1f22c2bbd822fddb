#!/usr/bin/python3
"""The master report as a person meets it, on a real X server with a window manager (see with-x11.sh).

Ann's entries are stored with zendrel-cli, which also writes her master report into a PDF file. The program is
started on that directory: "&Print" -> "Master Report", "Yes" to the preview question, Ann in "Select User";
the preview window ("Print Preview") must show as many pages as the PDF has. Closing it ends the report, and
the frame answers at once: "O&ptions" opens and closes. Driven over the accessibility bus (dogtail) with real
mouse clicks and keys (xdotool).

  report_e2e.py ZENDREL ZENDREL_CLI
"""
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import cli, click, fail, find, find_menu, find_window, program_on_bus, showing, start_buses, \
    stop, wait_for  # noqa: E402


def main():
    zendrel, zendrel_cli = sys.argv[1], sys.argv[2]
    data = tempfile.mkdtemp(prefix="zendrel-report-e2e-")
    cli(zendrel_cli, data, "init")
    cli(zendrel_cli, data, "users", "add", "Ann", given=b"\n")
    for i in range(40):
        cli(zendrel_cli, data, "entries", "add", "--user", "Ann", "--service", "Service %02d" % i, "--name", "ann",
            "--url", "https://service%02d.example" % i, "--notes", "Notes of entry %d. " % i * 6,
            given=b"pw-%d\n" % i)
    pdf = os.path.join(data, "master.pdf")
    cli(zendrel_cli, data, "report", "--kind", "master", "--user", "Ann", "--pdf", pdf)
    info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True, check=True).stdout
    pages = int(re.search(r"Pages:\s+(\d+)", info).group(1))
    if pages < 2:
        fail("the report's PDF has %d page(s); the test wants more than one" % pages)

    buses = start_buses()
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    program = subprocess.Popen([zendrel, "Data=" + data], env=env)
    try:
        app = program_on_bus("Zendrel")
        frame = app.child(name="Zendrel", roleName="frame")
        wait_for("the frame on the screen", lambda: showing(frame))

        click(wait_for('"File" in the menu bar', lambda: find_menu(frame, "File"))[0])
        click(wait_for('"Print" in the File menu', lambda: find_menu(app, "Print"))[0])
        click(wait_for('"Master Report" in the Print menu', lambda: find_menu(app, "Master Report"))[0])

        question = wait_for('the question "Preview"', lambda: find_window(app, "Preview"))[0]
        if not question.findChild(lambda n: n.name == "Do you wish to PREVIEW this Report?", retry=False,
                                  requireResult=False):
            fail('the question does not read "Do you wish to PREVIEW this Report?"')
        click(find(question, "Yes", "push button"))

        select = wait_for('"Select User"', lambda: find_window(app, "Select User"))[0]
        click(wait_for("Ann in the list", lambda: find(select, "Ann", "list item")))
        click(find(select, "Select", "push button"))

        preview = wait_for('the preview "Print Preview"', lambda: find_window(app, "Print Preview"), seconds=60)[0]
        counted = wait_for("the preview's page count", lambda: [
            n for n in preview.findChildren(lambda n: n.roleName == "label" and re.match(r"^/ \d+$", n.name or ""),
                                            recursive=True)])[0]
        shown = int(counted.name[2:])
        if shown != pages:
            fail("the preview shows %d pages, the PDF of zendrel-cli has %d" % (shown, pages))

        subprocess.run(["xdotool", "key", "--clearmodifiers", "Escape"], check=True)
        wait_for("the preview to close", lambda: not find_window(app, "Print Preview"))

        # The report is over and the frame answers.
        click(wait_for('"Options" in the menu bar', lambda: find(frame, "Options", "menu item")))
        options = wait_for('"Zendrel Options"', lambda: find_window(app, "Zendrel Options"), seconds=10)[0]
        click(find(options, "Cancel", "push button"))
        wait_for("the options window to close", lambda: not find_window(app, "Zendrel Options"))
        if program.poll() is not None:
            fail("the program ended")
        print("PASS: the preview showed %d pages" % shown, flush=True)
    finally:
        stop(program, buses)
        subprocess.run(["rm", "-rf", data])


if __name__ == "__main__":
    main()
