#!/usr/bin/env python3
"""Writes the manual page of zendrel-cli from the program's own help texts, so that the page lists
exactly the commands and options the installed program has.
    cli-man.py PROGRAM VERSION OUTPUT"""
import re
import subprocess
import sys


def run(program, *args):
    done = subprocess.run([program, *args], capture_output=True, text=True, timeout=60,
                          env={"LC_ALL": "C.UTF-8", "PATH": "/usr/bin:/bin"})
    return (done.stdout or done.stderr).rstrip("\n")


def roff(text):
    """Text as roff: backslashes and minus signs escaped, no line starting with a control character."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\n".join(("\\&" + line) if line[:1] in (".", "'") else line for line in text.split("\n"))


def main():
    program, version, output = sys.argv[1:4]
    overview = run(program, "--help")
    lines = overview.split("\n")
    start = lines.index("Commands:")
    end = next(i for i in range(start + 1, len(lines)) if not lines[i].strip())
    intro = [l for l in lines[1:start] if l.strip()]
    closing = [l for l in lines[end + 1:] if l.strip()]

    # The commands: "  name ARGS   what it does", a long one with its text on the next line.
    commands = []
    for line in lines[start + 1:end]:
        if line.startswith("    ") and commands:
            commands[-1][1] += " " + line.strip()
            continue
        head, _, what = line.strip().partition("  ")
        commands.append([head.strip(), what.strip()])
    groups = []
    for head, _ in commands:
        word = head.split()[0]
        if word not in groups:
            groups.append(word)

    out = [
        '.TH ZENDREL\\-CLI 1 "" "Zendrel %s" "User Commands"' % roff(version),
        ".SH NAME",
        "zendrel\\-cli \\- the command\\-line companion of the Zendrel password manager",
        ".SH SYNOPSIS",
        ".B zendrel\\-cli",
        "[\\fB\\-\\-data\\fR \\fIDIR\\fR] [\\fB\\-\\-passphrase\\-fd\\fR \\fIN\\fR] \\fICOMMAND\\fR ...",
        ".SH DESCRIPTION",
        roff(" ".join(intro)),
        ".SH COMMANDS",
    ]
    for head, what in commands:
        out += [".TP", "\\fB%s\\fR" % roff(head), roff(what)]
    for word in groups:
        out += [".SS %s" % roff(word), ".nf", roff(run(program, word, "--help")), ".fi"]
    out += [".SH EXIT STATUS", roff(" ".join(l for l in closing if l.startswith("Exit status")))]
    out += [".SH FILES", "The data directory holds the enciphered tables that \\fBzendrel\\fR(1) and "
            "\\fBzdmon\\fR(1) use; only one program at a time writes a table, the others wait.",
            ".SH SEE ALSO", "\\fBzendrel\\fR(1), \\fBzdmon\\fR(1)"]
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
