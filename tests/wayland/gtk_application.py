#!/usr/bin/python3
"""A GTK application window that knows itself by a reverse-domain application id, as most desktop
programs do: the compositor gets the id, the session bus the id as a name owned by this process, while the
accessibility bus knows the program only as python3.

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
