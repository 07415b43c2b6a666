#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""How long Mirel's window takes to answer, measured from outside.

    responsiveness.py PID SECONDS [--until FILE]

Asks Mirel's accessibility root for its role over the accessibility bus, again and again for
SECONDS (or until FILE exists): Qt answers such calls on the GUI thread, so the time a call waits
is the time the window could not have answered a click either. Prints the number of calls, the
median and the longest answer in milliseconds as "pings N median-ms M max-ms X"."""
import os
import sys
import time

from gi.repository import Gio, GLib

ROOT = "/org/a11y/atspi/accessible/root"


def accessibility_bus():
    session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    address = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
                                None, GLib.VariantType.new("(s)"), Gio.DBusCallFlags.NONE,
                                5000, None).unpack()[0]
    flags = (Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
             Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
    return Gio.DBusConnection.new_for_address_sync(address, flags, None, None)


def name_of(bus, pid, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        names = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                              "org.freedesktop.DBus", "ListNames", None,
                              GLib.VariantType.new("(as)"), Gio.DBusCallFlags.NONE, 5000,
                              None).unpack()[0]
        for name in names:
            if not name.startswith(":"):
                continue
            try:
                owner = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                      "org.freedesktop.DBus", "GetConnectionUnixProcessID",
                                      GLib.Variant("(s)", (name,)), GLib.VariantType.new("(u)"),
                                      Gio.DBusCallFlags.NONE, 5000, None).unpack()[0]
            except GLib.Error:
                continue
            if owner == pid:
                return name
        time.sleep(0.1)
    sys.exit("FAIL: Mirel (pid %d) is not on the accessibility bus" % pid)


def main(argv):
    pid, seconds = int(argv[1]), float(argv[2])
    until = argv[4] if len(argv) > 4 and argv[3] == "--until" else None
    bus = accessibility_bus()
    name = name_of(bus, pid)
    answers = []
    end = time.monotonic() + seconds
    while time.monotonic() < end and not (until and os.path.exists(until)):
        start = time.monotonic()
        try:
            # A call that waits longer than the whole window counts as the whole window.
            bus.call_sync(name, ROOT, "org.a11y.atspi.Accessible", "GetRole", None, None,
                          Gio.DBusCallFlags.NONE, int(seconds * 1000) + 1000, None)
        except GLib.Error as error:
            sys.exit("FAIL: Mirel did not answer: %s" % error.message)
        answers.append((time.monotonic() - start) * 1000)
        time.sleep(0.02)
    answers.sort()
    if not answers:
        sys.exit("FAIL: no answer measured")
    print("pings %d median-ms %.1f max-ms %.1f"
          % (len(answers), answers[len(answers) // 2], answers[-1]))


if __name__ == "__main__":
    main(sys.argv)
