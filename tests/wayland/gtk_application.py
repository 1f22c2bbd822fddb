#!/usr/bin/python3
"""A GTK application window with a reverse-domain application id, as most desktop programs have: the
session bus has the id as a name owned by this process (GTK 4 programs also give it to the compositor as
their application id). GTK 3 gives the compositor this script's name, which is also the program's name on
the accessibility bus; the program file is python3.

  gtk_application.py APPLICATION_ID TITLE LABEL
"""
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402

APP_ID, TITLE, LABEL = sys.argv[1], sys.argv[2], sys.argv[3]


def activate(app):
    window = Gtk.ApplicationWindow(application=app, title=TITLE)
    window.add(Gtk.Label(label=LABEL))
    window.show_all()


application = Gtk.Application(application_id=APP_ID)
application.connect("activate", activate)
sys.exit(application.run([sys.argv[0]]))
