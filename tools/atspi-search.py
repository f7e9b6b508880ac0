#!/usr/bin/python3
# Drives a running tool through its accessibility tree as a screen reader
# would: finds every control of the main window by its English name and role,
# presses "Search once" through its action, wheresoever it is drawn, and waits
# until the device list has as many rows as devices were started.
#   atspi-search.py APPLICATION DEVICES [SECONDS]
# The tool must run with QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# on the same X display and D-Bus session. Exits 1, saying why, when a control
# is missing or the list does not fill within SECONDS (default 10).
import sys
import time

import pyatspi

EXPECTED = [
    ("Debug", "push button"), ("Minimize", "push button"), ("Close", "push button"),
    ("Update package path", "text"), ("Browse", "push button"), ("Filter", "text"),
    ("Export list", "push button"), ("Import plan", "push button"), ("Site report", "push button"),
    ("Device list", "tree"),
    ("Search once", "push button"), ("Auto search", "push button"), ("Clean List", "push button"),
    ("Repair Search", "push button"), ("Prepare All Update", "push button"),
    ("All Update", "push button"), ("LAN device reset", "push button"),
]


def wait_for(check, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = check()
        if found:
            return found
        time.sleep(0.1)
    return None


def application(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == name:
            return app
    return None


def walk(node, found):
    for child in node:
        if child is None:
            continue
        if child.getState().contains(pyatspi.STATE_SHOWING):
            found.setdefault((child.name, child.getRoleName()), child)
        # The rows of the list are many and say nothing of the controls.
        if child.getRoleName() != "tree":
            walk(child, found)
    return found


def main():
    name, devices = sys.argv[1], int(sys.argv[2])
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 10
    app = wait_for(lambda: application(name), 30)
    if not app:
        sys.exit("atspi-search: %s did not appear on the accessibility bus" % name)
    controls = {}
    wait_for(lambda: all(e in walk(app, controls) for e in EXPECTED), 30)
    missing = [e for e in EXPECTED if e not in controls]
    if missing:
        sys.exit("atspi-search: not found by name and role: %s" % missing)
    search = controls[("Search once", "push button")].queryAction()
    press = [search.getName(i) for i in range(search.nActions)].index("Press")
    search.doAction(press)
    table = controls[("Device list", "tree")].queryTable()
    if not wait_for(lambda: table.nRows == devices, seconds):
        sys.exit("atspi-search: %d s after \"Search once\" the list shows %d devices, not %d"
                 % (seconds, table.nRows, devices))
    print("atspi-search: %d controls named, %d devices listed" % (len(EXPECTED), devices))


main()
