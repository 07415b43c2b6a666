#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Drives the real Mirel the way a person or a screen reader does.

Widgets are found over AT-SPI by role and accessible name; the tray icon is reached through
a StatusNotifierItem watcher of our own on the session bus (the D-Bus path that most
desktops' trays use), with its menu over com.canonical.dbusmenu. Every command that waits
polls its condition until a deadline and exits 1 with a message when it is not met.

Run with /usr/bin/python3 (pyatspi comes from Debian's python3-pyatspi). Commands:
  watch                      serve org.kde.StatusNotifierWatcher until killed
  tray-wait [S]              wait until Mirel's tray item is registered
  tray-activate [X Y]        click the tray icon (StatusNotifierItem.Activate) at X, Y (0, 0:
                             a host that does not know where the icon is)
  tray-menu                  print the tray menu: one "label<TAB>enabled<TAB>checked" line each,
                             labels as a host shows them (access-key marks taken out)
  tray-menu-raw              print the labels exactly as Mirel sends them, one a line
  tray-click REGEX           click the first enabled tray-menu entry whose label matches
  wait ROLE REGEX [S]        wait until a showing widget of that role has a matching name
  gone ROLE REGEX [S]        wait until no showing widget of that role has a matching name
  press REGEX [S]            wait for a showing, enabled push button and press it
  press-then REGEX MS REGEX  find both buttons, click the first and MS milliseconds later the
                             second with the pointer, each at the middle of where AT-SPI says
                             it is (a pressed action of AT-SPI would click a push button only
                             after Qt's 0.1 s animation, a tool button at once)
  press-timed REGEX PATH     press the button, wait until PATH is gone, print the seconds
  probe ROLE REGEX PATH      while PATH exists, ask the widget for its place on screen over and
                             over (a call the program's main thread answers); then print
                             "<calls> <slowest answer in ms>"
  focused                    print "role<TAB>name" of the widget that has the keyboard focus
  wait-focus ROLE REGEX [S]  wait until the focused widget has that role and a matching name
  value ROLE REGEX           print the current value of a showing widget (a slider's position)
  extents APP ROLE           print "x y width height" of the smallest showing widget of that
                             role in the program APP (another program's, such as a panel's)
  dump                       print Mirel's accessible tree (for debugging a test)
ROLE names an AT-SPI role such as "push button", "label", "list", "check box", or "*". It is
matched by the role's constant (pyatspi.ROLE_PUSH_BUTTON), never by the display name that
at-spi2-core gives it, which changes between versions ("push button", later "button").
"""
import re
import sys
import time

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

WATCHER = "org.kde.StatusNotifierWatcher"
WATCHER_PATH = "/StatusNotifierWatcher"
WATCHER_XML = """
<node><interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
  <signal name="StatusNotifierHostRegistered"/>
</interface></node>
"""
DEFAULT_WAIT = 20.0


def fail(message):
    print("mirel_ui: " + message, file=sys.stderr)
    sys.exit(1)


def poll(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            fail("timed out after %gs waiting for %s" % (seconds, what))
        time.sleep(0.1)


# --- The tray, over D-Bus -------------------------------------------------------------------

def serve_watcher():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    items = []
    info = Gio.DBusNodeInfo.new_for_xml(WATCHER_XML).interfaces[0]

    def on_call(connection, sender, path, interface, method, params, invocation):
        if method == "RegisterStatusNotifierItem":
            service = params.unpack()[0]
            # Qt passes its bus name; others pass an object path on their own connection.
            item = service if not service.startswith("/") else sender + service
            if item not in items:
                items.append(item)
                connection.emit_signal(None, WATCHER_PATH, WATCHER,
                                       "StatusNotifierItemRegistered", GLib.Variant("(s)", (item,)))
        invocation.return_value(None)

    def on_get(connection, sender, path, interface, name):
        if name == "RegisteredStatusNotifierItems":
            return GLib.Variant("as", items)
        if name == "IsStatusNotifierHostRegistered":
            return GLib.Variant("b", True)
        return GLib.Variant("i", 0)

    def on_name_lost(connection, name, owner):
        if not owner:
            items[:] = [i for i in items if not i.startswith(name)]

    bus.register_object(WATCHER_PATH, info, on_call, on_get, None)
    Gio.bus_own_name_on_connection(bus, WATCHER, Gio.BusNameOwnerFlags.NONE, None, None)
    bus.signal_subscribe("org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
                         "/org/freedesktop/DBus", None, Gio.DBusSignalFlags.NONE,
                         lambda c, s, p, i, sig, params: on_name_lost(c, params[0], params[2]))
    GLib.MainLoop().run()


def session_bus():
    return Gio.bus_get_sync(Gio.BusType.SESSION, None)


def call(bus, service, path, interface, method, args=None, reply=None):
    return bus.call_sync(service, path, interface, method, args,
                         GLib.VariantType.new(reply) if reply else None,
                         Gio.DBusCallFlags.NONE, 5000, None)


def tray_items(bus):
    try:
        value = call(bus, WATCHER, WATCHER_PATH, "org.freedesktop.DBus.Properties", "Get",
                     GLib.Variant("(ss)", (WATCHER, "RegisteredStatusNotifierItems")), "(v)")
    except GLib.Error:
        return []
    return value.unpack()[0]


def tray_item(bus, seconds=DEFAULT_WAIT):
    item = poll(lambda: tray_items(bus), seconds, "a tray item to register")[0]
    service, _, path = item.partition("/")
    return service, "/" + path if path else "/StatusNotifierItem"


def menu_entries(bus):
    service, path = tray_item(bus)
    menu = call(bus, service, path, "org.freedesktop.DBus.Properties", "Get",
                GLib.Variant("(ss)", ("org.kde.StatusNotifierItem", "Menu")), "(v)").unpack()[0]
    # What a tray host does when the user opens the menu: the program may update it now.
    try:
        call(bus, service, menu, "com.canonical.dbusmenu", "AboutToShow", GLib.Variant("(i)", (0,)))
    except GLib.Error:
        pass
    layout = call(bus, service, menu, "com.canonical.dbusmenu", "GetLayout",
                  GLib.Variant("(iias)", (0, -1, [])), "(u(ia{sv}av))").unpack()[1]
    entries = []

    def walk(node):
        ident, props, children = node
        if props.get("type") != "separator" and "label" in props:
            entries.append((ident, shown_label(props["label"]), props.get("enabled", True),
                            props.get("toggle-state", 0) == 1, props["label"]))
        for child in children:
            walk(child)

    walk(layout)
    return service, menu, entries


def shown_label(label):
    """A dbusmenu label as a host draws it: "__" is an underscore, a single "_" marks the
    access key and is not shown."""
    return re.sub(r"_(_?)", lambda m: m.group(1), label)


def tray_click(pattern):
    bus = session_bus()
    service, menu, entries = menu_entries(bus)
    for ident, label, enabled, _, _ in entries:
        if enabled and re.search(pattern, label):
            call(bus, service, menu, "com.canonical.dbusmenu", "Event",
                 GLib.Variant("(isvu)", (ident, "clicked", GLib.Variant("i", 0), 0)))
            return
    fail("no enabled tray-menu entry matches %r; the menu has %r" % (pattern, [e[1] for e in entries]))


# --- Windows, over AT-SPI -------------------------------------------------------------------

def mirel_apps():
    import pyatspi
    desktop = pyatspi.Registry.getDesktop(0)
    return [app for app in desktop if app is not None and app.name == "Mirel"]


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    try:
        children = list(node)
    except Exception:
        return
    for child in children:
        yield from walk(child, depth + 1)


def states(node):
    import pyatspi
    state = node.getState()
    return {
        "showing": state.contains(pyatspi.STATE_SHOWING) and state.contains(pyatspi.STATE_VISIBLE),
        "enabled": state.contains(pyatspi.STATE_ENABLED),
        "focused": state.contains(pyatspi.STATE_FOCUSED),
    }


def role_constant(role):
    """The pyatspi constant of a role written as "push button", or None for "*"."""
    import pyatspi
    if role == "*":
        return None
    constant = getattr(pyatspi, "ROLE_" + re.sub(r"[ -]", "_", role.upper()), None)
    if constant is None:
        fail("unknown role %r" % role)
    return constant


def has_role(node, role):
    constant = role_constant(role)
    return constant is None or node.getRole() == constant


def find(role, pattern, need_enabled=False):
    for app in mirel_apps():
        for node in walk(app):
            try:
                if not has_role(node, role):
                    continue
                if not re.search(pattern, node.name or ""):
                    continue
                state = states(node)
            except Exception:
                continue
            if state["showing"] and (state["enabled"] or not need_enabled):
                return node
    return None


def focused():
    for app in mirel_apps():
        for node in walk(app):
            try:
                if states(node)["focused"]:
                    return node
            except Exception:
                continue
    return None


def press(pattern, seconds):
    press_node(enabled_button(pattern, seconds))


def enabled_button(pattern, seconds):
    return poll(lambda: find("push button", pattern, need_enabled=True), seconds,
                "an enabled button named %r" % pattern)


def probe(role, pattern, path):
    import os
    node = poll(lambda: find(role, pattern), DEFAULT_WAIT, "a %s named %r" % (role, pattern))
    component = node.queryComponent()
    calls, worst = 0, 0.0
    while os.path.lexists(path):
        start = time.monotonic()
        component.getExtents(0)
        worst = max(worst, time.monotonic() - start)
        calls += 1
        time.sleep(0.005)
    print("%d %d" % (calls, round(worst * 1000)))


def click_node(node):
    import subprocess
    import pyatspi
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(box.x + box.width // 2),
                    str(box.y + box.height // 2), "click", "1"], check=True)


def press_node(button):
    action = button.queryAction()
    for i in range(action.nActions):
        if action.getName(i).lower() in ("press", "click", "activate"):
            action.doAction(i)
            return
    action.doAction(0)


def main(argv):
    if len(argv) < 2:
        fail(__doc__)
    command, args = argv[1], argv[2:]
    seconds = lambda i: float(args[i]) if len(args) > i else DEFAULT_WAIT  # noqa: E731
    if command == "watch":
        serve_watcher()
    elif command == "tray-wait":
        tray_item(session_bus(), seconds(0))
    elif command == "tray-activate":
        bus = session_bus()
        service, path = tray_item(bus)
        x, y = (int(args[0]), int(args[1])) if len(args) >= 2 else (0, 0)
        call(bus, service, path, "org.kde.StatusNotifierItem", "Activate", GLib.Variant("(ii)", (x, y)))
    elif command == "tray-menu":
        for _, label, enabled, checked, _ in menu_entries(session_bus())[2]:
            print("%s\t%s\t%s" % (label, "enabled" if enabled else "disabled",
                                  "checked" if checked else "unchecked"))
    elif command == "tray-menu-raw":
        for entry in menu_entries(session_bus())[2]:
            print(entry[4])
    elif command == "tray-click":
        tray_click(args[0])
    elif command == "wait":
        poll(lambda: find(args[0], args[1]), seconds(2), "a %s named %r" % (args[0], args[1]))
    elif command == "gone":
        poll(lambda: find(args[0], args[1]) is None, seconds(2),
             "no showing %s named %r" % (args[0], args[1]))
    elif command == "press":
        press(args[0], seconds(1))
    elif command == "press-then":
        first, second = enabled_button(args[0], 1), enabled_button(args[2], 1)
        click_node(first)
        time.sleep(float(args[1]) / 1000)
        click_node(second)
    elif command == "press-timed":
        import os
        button = enabled_button(args[0], 1)
        start = time.monotonic()
        press_node(button)
        while os.path.lexists(args[1]):
            time.sleep(0.002)
        print("%.3f" % (time.monotonic() - start))
    elif command == "probe":
        probe(args[0], args[1], args[2])
    elif command == "focused":
        node = focused()
        print("%s\t%s" % (node.getRoleName(), node.name) if node else "none\t")
    elif command == "wait-focus":
        def matches():
            node = focused()
            return node is not None and has_role(node, args[0]) \
                and re.search(args[1], node.name or "")
        poll(matches, seconds(2), "the focus on a %s named %r" % (args[0], args[1]))
    elif command == "value":
        node = poll(lambda: find(args[0], args[1]), seconds(2), "a %s named %r" % (args[0], args[1]))
        print("%g" % node.queryValue().currentValue)
    elif command == "extents":
        import pyatspi

        def smallest():
            found = []
            for app in pyatspi.Registry.getDesktop(0):
                if app is None or app.name != args[0]:
                    continue
                for node in walk(app):
                    try:
                        if has_role(node, args[1]) and states(node)["showing"]:
                            e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                            if e.width > 0 and e.height > 0:
                                found.append((e.width * e.height, e.x, e.y, e.width, e.height))
                    except Exception:
                        continue
            return min(found) if found else None
        area = poll(smallest, seconds(2), "a %s in %s" % (args[1], args[0]))
        print("%d %d %d %d" % area[1:])
    elif command == "dump":
        for app in mirel_apps():
            for node in walk(app):
                try:
                    print("%s\t%r\t%s" % (node.getRoleName(), node.name,
                                          ",".join(k for k, v in states(node).items() if v)))
                except Exception:
                    pass
    else:
        fail("unknown command %r\n%s" % (command, __doc__))


if __name__ == "__main__":
    main(sys.argv)
