#!/usr/bin/python3
"""Fails when a source file includes a header of a higher layer, or when a file of the widget-free core
library includes a Qt GUI or widget header.

A file's layer is its folder, split in two where the folder holds both logic (linked into zendrel_core or
a platform backend) and windows (linked into zendrel_ui): the windows of every folder sit above all logic,
so logic can be tested without a display and windows may use any logic. A header belongs where the source
file of the same name is compiled; a header without one belongs to its folder's logic.

  check_layers.py SRC_DIR [QT_INCLUDE_DIR]
"""
import os
import re
import sys

# Bottom to top. A file may include files of its own layer and of the layers before it.
LOGIC = ["base", "platform", "data", "framework", "session", "send", "monitor", "entries", "shell",
         "operations"]
WINDOWS = ["platform", "framework", "session", "entries", "shell", "monitor"]
PROGRAMS = ["app", "monitor/app"]
BACKENDS = {"platform/sim": "platform", "platform/x11": "platform", "platform/atspi": "platform",
            "platform/wayland": "platform", "platform/cups": "platform"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def libraries(src):
    """Maps each source file (relative to src) to the library or program it is compiled into."""
    text = open(os.path.join(src, "CMakeLists.txt")).read()
    owner = {}
    for m in re.finditer(r"add_(?:library|executable)\(\s*([\w-]+)([^)]*)\)", text):
        for word in m.group(2).split():
            if word.endswith(".cpp"):
                owner[word] = m.group(1)
    return owner


def folder_of(path):
    folder = os.path.dirname(path)
    for prefix in PROGRAMS[::-1]:
        if folder == prefix or folder.startswith(prefix + "/"):
            return prefix
    return BACKENDS.get(folder, folder)


def layer(path, owner):
    """(rank, name) of a file under src."""
    folder = folder_of(path)
    if folder in PROGRAMS:
        return (100, folder)
    stem = os.path.splitext(path)[0] + ".cpp"
    if owner.get(stem) == "zendrel_ui":
        if folder not in WINDOWS:
            return (None, folder + " (windows)")
        return (len(LOGIC) + WINDOWS.index(folder), folder + " (windows)")
    if folder not in LOGIC:
        return (None, folder)
    return (LOGIC.index(folder), folder)


def gui_headers(qt_include):
    names = set()
    for module in ("QtGui", "QtWidgets", "QtPrintSupport"):
        d = os.path.join(qt_include, module)
        if os.path.isdir(d):
            names.update(n for n in os.listdir(d) if not n.endswith(".h") or n.startswith("q"))
            names.update(module + "/" + n for n in os.listdir(d))
        names.add(module)
    return names


def main():
    src = sys.argv[1]
    qt_include = sys.argv[2] if len(sys.argv) > 2 else "/usr/include/x86_64-linux-gnu/qt6"
    owner = libraries(src)
    gui = gui_headers(qt_include)
    faults = []
    for root, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.relpath(os.path.join(root, name), src)
            rank, where = layer(path, owner)
            if rank is None:
                faults.append(f"{path}: folder {where} has no place in the layer order")
                continue
            library = owner.get(os.path.splitext(path)[0] + ".cpp")
            # The widget-free core: its own files, and headers of logic folders other than the backends.
            core = library == "zendrel_core" or (library is None and rank < len(LOGIC) and
                                                 os.path.dirname(path) not in BACKENDS)
            for number, line in enumerate(open(os.path.join(root, name), encoding="utf-8"), 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                kind, target = m.groups()
                if kind == "<":
                    if core and target in gui:
                        faults.append(f"{path}:{number}: logic file includes the GUI header <{target}>")
                    continue
                if not os.path.exists(os.path.join(src, target)):
                    continue
                trank, twhere = layer(target, owner)
                if trank is None or trank > rank:
                    faults.append(f"{path}:{number}: {where} includes {target} of the higher layer {twhere}")
    for f in faults:
        print(f)
    if faults:
        print(f"{len(faults)} include(s) against the layer order", file=sys.stderr)
        return 1
    print("layer order kept")
    return 0


if __name__ == "__main__":
    sys.exit(main())
